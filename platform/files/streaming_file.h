#pragma once
// A file written front to back (a download): created empty, or continued at its end, and handed
// to the disk as it grows, a few megabytes at a time, so that flushing it whole when it is put in
// place does not stall on all of it at once. Nothing is buffered: callers write in large pieces,
// and every byte written is in the file at once, so a process killed at any moment loses none of
// what it wrote.

#include <cstddef>
#include <cstdint>
#include <string>

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
    // Closes the file; false when that failed.
    bool close();

  private:
    int fd_;
    std::int64_t written_ = 0;      // the file's length so far
    std::int64_t writtenBack_ = 0;  // bytes whose write-back to the disk was started
};

}  // namespace kx::files
