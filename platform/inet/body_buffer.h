#pragma once
// The bounded buffer through which a response body passes from the transfer thread to the
// window's thread: a queue of blocks holding at most `capacity` bytes, so that a body of any size
// streams through about a megabyte of memory. The writer copies each piece it is given into a
// block (blocks are reused, never freed while the flow lasts); the reader takes a whole block in
// exchange for its own storage, so the bytes are copied once between the threads, not twice. The
// writer blocks while the queue is full; the reader waits (bounded) while it is empty. Either side
// can end the flow: the writer when the body is over (with the transfer's outcome), the reader by
// cancelling (the writer is released and told to stop).

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace kx::inet {

class BodyBuffer {
  public:
    explicit BodyBuffer(std::size_t capacity) : capacity_(capacity) {}

    // Writer side. Copies all `size` bytes in, waiting for room as needed; false when the reader
    // cancelled (nothing more is wanted).
    bool write(const char* data, std::size_t size);
    // The body is over; `outcome` is kept for the reader (0: complete).
    void finish(std::int32_t outcome);

    // Reader side. Replaces the contents of `out` with the next 1 to `size` bytes, waiting at most
    // `wait` for them; `out`'s storage goes back to the writer. Returns the number of bytes: 0
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
    using Block = std::vector<std::uint8_t>;

    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable readable_;
    std::condition_variable writable_;
    std::deque<Block> blocks_;
    std::vector<Block> spare_;   // storage handed back by the reader
    std::size_t frontRead_ = 0;  // bytes of the first block read already
    std::size_t used_ = 0;       // bytes in blocks_ not read yet
    bool finished_ = false;
    bool cancelled_ = false;
    std::int32_t outcome_ = 0;
};

}  // namespace kx::inet
