#include "platform/files/streaming_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kx::files {

namespace {
constexpr std::int64_t kWriteBackStep = 8 * 1024 * 1024;
}  // namespace

StreamingFile::StreamingFile(const std::string& path, Start start) : fd_(-1) {
    if (start == Start::Empty) {
        // A new file, never the old one emptied: a download left by a run that died just after
        // putting it in place is still a hard link to the target, which must not be written into.
        ::unlink(path.c_str());
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        return;
    }
    fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
    struct stat info {};
    if (fd_ >= 0 && (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1)) {
        ::close(fd_);
        fd_ = -1;
    }
    written_ = writtenBack_ = fd_ >= 0 ? static_cast<std::int64_t>(info.st_size) : 0;
}

StreamingFile::~StreamingFile() {
    waitForFlush();
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool StreamingFile::write(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t done = ::write(fd_, bytes, size);
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            return false;
        }
        bytes += done;
        size -= static_cast<std::size_t>(done);
        written_ += done;
    }
    // Starts the write-back of the last whole step without waiting for it.
    if (written_ - writtenBack_ >= kWriteBackStep) {
        ::sync_file_range(fd_, writtenBack_, written_ - writtenBack_, SYNC_FILE_RANGE_WRITE);
        writtenBack_ = written_;
        // A flush still running covers part of this step; the next step's flush the rest.
        if (!flushing_.load()) {
            flushInBackground();
        }
    }
    return true;
}

void StreamingFile::flushInBackground() {
    waitForFlush();
    flushing_ = true;
    flusher_ = std::thread([this] {
        if (::fdatasync(fd_) != 0) {
            flushFailed_ = true;
        }
        flushing_ = false;
    });
}

void StreamingFile::waitForFlush() {
    if (flusher_.joinable()) {
        flusher_.join();
    }
}

bool StreamingFile::close() {
    waitForFlush();
    if (fd_ < 0) {
        return false;
    }
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    return closed && !flushFailed_.load();
}

}  // namespace kx::files
