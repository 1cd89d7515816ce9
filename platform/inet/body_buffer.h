#pragma once
// The bounded buffer through which a response body passes from the transfer thread to the
// window's thread: a fixed ring of bytes, so that a body of any size streams through a few hundred
// kilobytes of memory. The writer blocks while the ring is full; the reader waits (bounded) while
// it is empty. Either side can end the flow: the writer when the body is over (with the transfer's
// outcome), the reader by cancelling (the writer is released and told to stop).

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace kx::inet {

class BodyBuffer {
  public:
    explicit BodyBuffer(std::size_t capacity);

    // Writer side. Copies all `size` bytes in, waiting for room as needed; false when the reader
    // cancelled (nothing more is wanted).
    bool write(const char* data, std::size_t size);
    // The body is over; `outcome` is kept for the reader (0: complete).
    void finish(std::int32_t outcome);

    // Reader side. Replaces the contents of `out` with up to `size` bytes, waiting at most `wait`
    // for the first one (its memory is reused, never cleared first). Returns the number copied: 0
    // means the wait passed with nothing to read, or the body is over and fully read (finished()
    // tells which).
    std::size_t read(std::vector<std::uint8_t>& out, std::size_t size,
                     std::chrono::milliseconds wait);
    // Whether the writer finished and every byte was read.
    bool finished() const;
    // The writer's outcome, valid once finished().
    std::int32_t outcome() const;
    // Stops the flow: pending and later writes return false, unread bytes are dropped.
    void cancel();

  private:
    mutable std::mutex mutex_;
    std::condition_variable readable_;
    std::condition_variable writable_;
    std::vector<std::uint8_t> ring_;
    std::size_t head_ = 0;  // next byte to read
    std::size_t used_ = 0;
    bool finished_ = false;
    bool cancelled_ = false;
    std::int32_t outcome_ = 0;
};

}  // namespace kx::inet
