#pragma once
// A file written front to back in one go (a download): created empty, written through a buffer,
// and handed to the disk as it grows, a few megabytes at a time, so that flushing it whole when it
// is put in place does not stall on all of it at once.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kx::files {

class StreamingFile {
  public:
    // Creates `path` as a new, empty file (a file of that name is removed first, not emptied);
    // valid() tells whether that worked.
    explicit StreamingFile(const std::string& path);
    ~StreamingFile();
    StreamingFile(const StreamingFile&) = delete;
    StreamingFile& operator=(const StreamingFile&) = delete;
    bool valid() const { return fd_ >= 0; }

    // False when the bytes could not be written (the disk is full, say).
    bool write(const void* data, std::size_t size);
    // Writes what is buffered and closes the file; false when that failed.
    bool close();

  private:
    bool flushBuffer();

    int fd_;
    std::vector<char> buffer_;
    std::int64_t written_ = 0;      // bytes handed to the file so far
    std::int64_t writtenBack_ = 0;  // bytes whose write-back to the disk was started
};

}  // namespace kx::files
