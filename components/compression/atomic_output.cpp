#include "atomic_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "debug_log.h"
#include "expand_error.h"

namespace kx::compression {

namespace {

constexpr int kNameAttempts = 16;

std::string errorText(int error) {
    return std::strerror(error);
}

// A hidden name that a later run (or a person) can recognise as a left-over.
std::string randomTemporaryName() {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    char text[40];
    std::snprintf(text, sizeof text, ".kxexpand-%016llx.part",
                  static_cast<unsigned long long>(generator()));
    return text;
}

}  // namespace

AtomicOutput::AtomicOutput(const std::string& folder, const std::string& name)
    : folder_(folder), name_(name) {
    folderFd_ = sys::FileDescriptor(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folderFd_.valid()) {
        const int error = errno;
        const std::string why = error == ENOENT    ? "does not exist"
                                : error == ENOTDIR ? "is not a folder"
                                                   : "cannot be opened (" + errorText(error) + ")";
        throw ExpandError("the destination folder " + quoted(folder) + " " + why);
    }
    fd_ =
        sys::FileDescriptor(::openat(folderFd_.get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    // EOPNOTSUPP: the file system has no unnamed files; EISDIR: the kernel does not know them.
    if (!fd_.valid() && (errno == EOPNOTSUPP || errno == EISDIR)) {
        createNamedTemporary();
    }
    if (!fd_.valid()) {
        const int error = errno;
        throw ExpandError("the destination folder " + quoted(folder) + " cannot be written (" +
                          errorText(error) + ")");
    }
}

AtomicOutput::~AtomicOutput() {
    if (!committed_ && !temporaryName_.empty()) {
        ::unlinkat(folderFd_.get(), temporaryName_.c_str(), 0);
    }
}

void AtomicOutput::createNamedTemporary() {
    for (int attempt = 0; attempt < kNameAttempts && !fd_.valid(); ++attempt) {
        const std::string name = randomTemporaryName();
        fd_ = sys::FileDescriptor(
            ::openat(folderFd_.get(), name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666));
        if (fd_.valid()) {
            temporaryName_ = name;
        } else if (errno != EEXIST) {
            return;
        }
    }
}

void AtomicOutput::write(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd_.get(), data, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            failOnOutput("cannot be written");
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

void AtomicOutput::commit() {
    if (::fsync(fd_.get()) != 0) {
        failOnOutput("cannot be flushed to disk");
    }
    if (temporaryName_.empty()) {
        nameTemporary();
    }
    if (::renameat(folderFd_.get(), temporaryName_.c_str(), folderFd_.get(), name_.c_str()) != 0) {
        failOnOutput("cannot be put in place");
    }
    committed_ = true;
    // The rename lives in the folder. The output is in place either way, so a failure here only
    // weakens durability after a power cut and is not reported as a failure.
    if (::fsync(folderFd_.get()) != 0) {
        debugLog("the folder of " + name_ + " was not flushed after the output was put in place (" +
                 std::strerror(errno) + ")");
    }
}

// An unnamed file gets a name through its /proc link; linkat cannot replace an existing name,
// hence the temporary name before the rename.
void AtomicOutput::nameTemporary() {
    const std::string link = "/proc/self/fd/" + std::to_string(fd_.get());
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string name = randomTemporaryName();
        if (::linkat(AT_FDCWD, link.c_str(), folderFd_.get(), name.c_str(), AT_SYMLINK_FOLLOW) ==
            0) {
            temporaryName_ = name;
            return;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    failOnOutput("cannot be given a name");
}

std::string AtomicOutput::path() const {
    return folder_ + "/" + name_;
}

void AtomicOutput::failOnOutput(const char* what) const {
    const int error = errno;
    throw ExpandError("the output " + quoted(path()) + " " + what + " (" + errorText(error) + ")");
}

}  // namespace kx::compression
