#include "streaming_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kx::files {

namespace {
constexpr std::size_t kBufferBytes = 256 * 1024;
constexpr std::int64_t kWriteBackStep = 8 * 1024 * 1024;
}  // namespace

StreamingFile::StreamingFile(const std::string& path) : fd_(-1) {
    // A new file, never the old one emptied: a download left by a run that died just after
    // putting it in place is still a hard link to the target, which must not be written into.
    ::unlink(path.c_str());
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    buffer_.reserve(kBufferBytes);
}

StreamingFile::~StreamingFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool StreamingFile::write(const void* data, std::size_t size) {
    if (buffer_.size() + size > kBufferBytes && !flushBuffer()) {
        return false;
    }
    const auto* bytes = static_cast<const char*>(data);
    buffer_.insert(buffer_.end(), bytes, bytes + size);
    return true;
}

bool StreamingFile::flushBuffer() {
    const char* data = buffer_.data();
    std::size_t left = buffer_.size();
    while (left > 0) {
        const ssize_t done = ::write(fd_, data, left);
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            return false;
        }
        data += done;
        left -= static_cast<std::size_t>(done);
        written_ += done;
    }
    buffer_.clear();
    // Starts the write-back of the last whole step without waiting for it.
    if (written_ - writtenBack_ >= kWriteBackStep) {
        ::sync_file_range(fd_, writtenBack_, written_ - writtenBack_, SYNC_FILE_RANGE_WRITE);
        writtenBack_ = written_;
    }
    return true;
}

bool StreamingFile::close() {
    if (fd_ < 0) {
        return false;
    }
    const bool flushed = flushBuffer();
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    return flushed && closed;
}

}  // namespace kx::files
