#include "platform/files/atomic_file.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/runtime/debug_log.h"
#include "platform/text/path_text.h"

namespace kx::files {

namespace {

constexpr mode_t kProgramMode = 0755;
constexpr mode_t kDataMode = 0644;
constexpr mode_t kOwnerOnlyMode = 0600;
// Created so; the mode chosen by content is set at the commit, and umask's choice at creation.
constexpr mode_t kPrivateCreationMode = 0600;
constexpr mode_t kUmaskCreationMode = 0666;

mode_t modeForContent(int fd) {
    char head[4] = {};
    const ssize_t got = ::pread(fd, head, sizeof head, 0);
    const std::string_view text(head, got > 0 ? static_cast<std::size_t>(got) : 0);
    return startsAsProgram(text) ? kProgramMode : kDataMode;
}

// Repeats `step` (which moves part of what `left` says is left and returns how much, as write()
// does) until nothing is left: an interrupted step is repeated, and one that moves nothing fails
// with EIO. False on failure, with errno set.
template <typename Step, typename Left>
bool repeatUntilDone(Step step, Left left) {
    while (left()) {
        const ssize_t moved = step();
        if (moved < 0 && errno == EINTR) {
            continue;
        }
        if (moved <= 0) {
            errno = moved == 0 ? EIO : errno;
            return false;
        }
    }
    return true;
}

}  // namespace

std::string temporaryPathFor(const std::string& target) {
    const std::string_view name = fileNameOf(target);
    return target.substr(0, target.size() - name.size()) + "." + std::string(name) + ".kxnew";
}

bool startsAsProgram(std::string_view head) {
    return head.starts_with(
               "\x7F"
               "ELF") ||
           head.starts_with("#!");
}

bool setModeByContent(const std::string& path) {
    const sys::FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    return file.valid() && ::fchmod(file.get(), modeForContent(file.get())) == 0;
}

AtomicFile::AtomicFile(const std::string& target, PlacedMode mode)
    : target_(target), name_(fileNameOf(target)), mode_(mode) {
    folder_ =
        sys::FileDescriptor(::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder_.valid()) {
        fail("open the folder of", target_);
        return;
    }
    const mode_t creation = mode == PlacedMode::ByUmask ? kUmaskCreationMode : kPrivateCreationMode;
    // Read and write: the mode by content is judged from the file's first bytes.
    fd_ =
        sys::FileDescriptor(::openat(folder_.get(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, creation));
    // EOPNOTSUPP: the file system has no unnamed files; EISDIR: the kernel does not know them.
    if (!fd_.valid() && (errno == EOPNOTSUPP || errno == EISDIR)) {
        temporary_ = "." + name_ + ".kxnew";
        ::unlinkat(folder_.get(), temporary_.c_str(), 0);
        fd_ = sys::FileDescriptor(::openat(folder_.get(), temporary_.c_str(),
                                           O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                           creation));
        if (!fd_.valid()) {
            temporary_.clear();  // not ours to remove
        }
    }
    if (!fd_.valid()) {
        fail("create a new version of", target_);
    }
}

AtomicFile::AtomicFile(const std::string& target, const std::string& source)
    : target_(target), name_(fileNameOf(target)), mode_(PlacedMode::ByContent) {
    folder_ =
        sys::FileDescriptor(::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder_.valid()) {
        fail("open the folder of", target_);
        return;
    }
    const std::string temporary = "." + name_ + ".kxnew";
    ::unlinkat(folder_.get(), temporary.c_str(), 0);
    if (::linkat(AT_FDCWD, source.c_str(), folder_.get(), temporary.c_str(), 0) != 0) {
        fail("link", source);
        return;
    }
    temporary_ = temporary;
    fd_ = sys::FileDescriptor(
        ::openat(folder_.get(), temporary_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd_.valid()) {
        fail("open", temporaryPathFor(target_));
    }
}

AtomicFile::~AtomicFile() {
    if (!placed_) {
        removeTemporary();
    }
}

PlacementFailure AtomicFile::fail(const std::string& what, const std::string& path) {
    const int error = errno;
    removeTemporary();
    failure_ = "cannot " + what + " " + path + ": " + std::strerror(error);
    return failure_;
}

// A temporary left by a failed step goes; one that stays behind is replaced by the next try.
void AtomicFile::removeTemporary() {
    if (temporary_.empty()) {
        return;
    }
    if (::unlinkat(folder_.get(), temporary_.c_str(), 0) != 0 && errno != ENOENT) {
        debugLog("the temporary file " + temporaryPathFor(target_) + " was not removed (" +
                 std::strerror(errno) + ")");
    }
    temporary_.clear();
}

PlacementFailure AtomicFile::write(std::string_view data) {
    const bool written = repeatUntilDone(
        [&] {
            const ssize_t moved = ::write(fd_.get(), data.data(), data.size());
            data.remove_prefix(moved > 0 ? static_cast<std::size_t>(moved) : 0);
            return moved;
        },
        [&] { return !data.empty(); });
    return written ? PlacementFailure() : fail("write a new version of", target_);
}

PlacementFailure AtomicFile::copyFrom(int fd) {
    struct stat info {};
    off_t offset = 0;
    const bool copied = ::fstat(fd, &info) == 0 &&
                        repeatUntilDone(
                            [&] {
                                return ::sendfile(fd_.get(), fd, &offset,
                                                  static_cast<std::size_t>(info.st_size - offset));
                            },
                            [&] { return offset < info.st_size; });
    return copied ? PlacementFailure() : fail("copy to", target_);
}

// An unnamed file gets a name through its /proc link; linkat cannot replace an existing name,
// hence the temporary name before the rename.
PlacementFailure AtomicFile::nameTemporary() {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_.get());
    const std::string temporary = "." + name_ + ".kxnew";
    ::unlinkat(folder_.get(), temporary.c_str(), 0);
    if (::linkat(AT_FDCWD, self.c_str(), folder_.get(), temporary.c_str(), AT_SYMLINK_FOLLOW) !=
        0) {
        return fail("name", temporaryPathFor(target_));
    }
    temporary_ = temporary;
    return {};
}

PlacementFailure AtomicFile::finish(bool durable) {
    if (mode_ != PlacedMode::ByUmask &&
        ::fchmod(fd_.get(), mode_ == PlacedMode::OwnerOnly ? kOwnerOnlyMode
                                                           : modeForContent(fd_.get())) != 0) {
        return fail("set the mode of", target_);
    }
    if (durable && ::fsync(fd_.get()) != 0) {
        return fail("flush", target_);
    }
    return {};
}

PlacementFailure AtomicFile::commit(bool durable) {
    if (!failure_.empty()) {
        return failure_;
    }
    if (auto why = finish(durable); !why.empty()) {
        return why;
    }
    if (temporary_.empty()) {
        if (auto why = nameTemporary(); !why.empty()) {
            return why;
        }
    }
    if (::renameat(folder_.get(), temporary_.c_str(), folder_.get(), name_.c_str()) != 0) {
        return fail("replace", target_);
    }
    placed_ = true;
    // The rename is in place; a folder that cannot be flushed only loses durability.
    if (durable && ::fsync(folder_.get()) != 0) {
        debugLog("the folder of " + target_ + " was not flushed after the file was put in place (" +
                 std::strerror(errno) + ")");
    }
    return {};
}

PlacementFailure AtomicFile::commitNew() {
    if (!failure_.empty()) {
        return failure_;
    }
    if (auto why = finish(true); !why.empty()) {
        return why;
    }
    // A link fails when the name exists, which a rename would silently replace.
    const int linked =
        temporary_.empty()
            ? ::linkat(AT_FDCWD, ("/proc/self/fd/" + std::to_string(fd_.get())).c_str(),
                       folder_.get(), name_.c_str(), AT_SYMLINK_FOLLOW)
            : ::linkat(folder_.get(), temporary_.c_str(), folder_.get(), name_.c_str(), 0);
    if (linked != 0) {
        return fail("create", target_);
    }
    placed_ = true;
    removeTemporary();
    if (::fsync(folder_.get()) != 0) {
        debugLog("the folder of " + target_ + " was not flushed after the file was created (" +
                 std::strerror(errno) + ")");
    }
    return {};
}

}  // namespace kx::files
