#pragma once
// A file written front to back (a download): created empty, or continued at its end, and handed
// to the disk as it grows, a few megabytes at a time, so that flushing it whole when it is put in
// place does not stall on all of it at once. Nothing is buffered: callers write in large pieces,
// and every byte written is in the file at once, so a process killed at any moment loses none of
// what it wrote.
//
// Handing the bytes to the disk is not enough: a disk with a write cache (and the host's cache
// under a virtual disk) holds them until it is told to flush, and that flush, a large share of
// the time of placing a big file, grows with every byte written since the last one. So while the
// file grows, a thread of its own flushes it, one flush at a time, and the flush that puts the
// file in place finds little left to do. A background flush that fails makes close() fail: the
// error it consumed would not reach a later flush.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>

namespace kx::files {

class StreamingFile {
  public:
    enum class Start { Empty, Continue };

    // Empty: creates `path` as a new, empty file (a file of that name is removed first, not
    // emptied). Continue: opens the existing `path` to write at its end, only when it is a
    // regular file with no other name (not a hard link to a file in use elsewhere). valid() tells
    // whether that worked.
    explicit StreamingFile(const std::string& path, Start start = Start::Empty);
    ~StreamingFile();
    StreamingFile(const StreamingFile&) = delete;
    StreamingFile& operator=(const StreamingFile&) = delete;
    bool valid() const { return fd_ >= 0; }

    // False when the bytes could not be written (the disk is full, say).
    bool write(const void* data, std::size_t size);
    // Closes the file, once the background flush is over; false when that flush or the close
    // failed.
    bool close();

  private:
    void flushInBackground();
    void waitForFlush();

    int fd_;
    std::int64_t written_ = 0;      // the file's length so far
    std::int64_t writtenBack_ = 0;  // bytes whose write-back to the disk was started
    std::thread flusher_;
    std::atomic<bool> flushing_ = false;
    std::atomic<bool> flushFailed_ = false;
};

}  // namespace kx::files
