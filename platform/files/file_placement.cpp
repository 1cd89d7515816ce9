#include "file_placement.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "debug_log.h"
#include "file_descriptor.h"
#include "path_text.h"

namespace kx::files {

namespace {

constexpr mode_t kProgramMode = 0755;
constexpr mode_t kDataMode = 0644;
constexpr mode_t kOwnerOnlyMode = 0600;

std::string failure(const std::string& what, const std::string& path) {
    return "cannot " + what + " " + path + ": " + std::strerror(errno);
}

mode_t modeForContent(int fd) {
    char head[4] = {};
    const ssize_t got = ::pread(fd, head, sizeof head, 0);
    const std::string_view text(head, got > 0 ? static_cast<std::size_t>(got) : 0);
    return startsAsProgram(text) ? kProgramMode : kDataMode;
}

// Writes all of `content` to `fd`.
bool writeAll(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t written = ::write(fd, content.data(), content.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Copies the whole file `from` into `to`, in the kernel.
bool copyAll(int from, int to) {
    struct stat info {};
    if (::fstat(from, &info) != 0) {
        return false;
    }
    off_t offset = 0;
    while (offset < info.st_size) {
        const ssize_t sent =
            ::sendfile(to, from, &offset, static_cast<std::size_t>(info.st_size - offset));
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            return sent == 0 ? (errno = EIO, false) : false;
        }
    }
    return true;
}

// Removes a temporary left by a failed step; one that stays behind is replaced by the next try.
void removeTemporary(const std::string& temporary) {
    if (::unlink(temporary.c_str()) != 0 && errno != ENOENT) {
        debugLog("the temporary file " + temporary + " was not removed (" + std::strerror(errno) +
                 ")");
    }
}

// Steps 2 to 4 for the temporary file open as `fd` (without flushing unless `durable`); removes it
// when a step fails.
PlacementFailure commit(int fd, const std::string& temporary, const std::string& target,
                        PlacedMode mode = PlacedMode::ByContent, bool durable = true) {
    std::string why;
    if (::fchmod(fd, mode == PlacedMode::OwnerOnly ? kOwnerOnlyMode : modeForContent(fd)) != 0) {
        why = failure("set the mode of", temporary);
    } else if (durable && ::fsync(fd) != 0) {
        why = failure("flush", temporary);
    } else if (::rename(temporary.c_str(), target.c_str()) != 0) {
        why = failure("replace", target);
    }
    if (!why.empty()) {
        removeTemporary(temporary);
        return why;
    }
    if (!durable) {
        return {};
    }
    // The rename is in place; a folder that cannot be flushed only loses durability.
    const sys::FileDescriptor folder(
        ::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.valid() || ::fsync(folder.get()) != 0) {
        debugLog("the folder of " + target + " was not flushed after the file was put in place (" +
                 std::strerror(errno) + ")");
    }
    return {};
}

int createTemporary(const std::string& temporary) {
    ::unlink(temporary.c_str());
    return ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
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

PlacementFailure placeFileCopy(const std::string& source, const std::string& target) {
    // A target that already is the source (the link an earlier placement made, when the run was
    // ended before it removed its download) is in place: rename() of one link of a file over
    // another does nothing, and would leave the temporary behind for good.
    struct stat sourceInfo {};
    struct stat targetInfo {};
    if (::stat(source.c_str(), &sourceInfo) == 0 && ::lstat(target.c_str(), &targetInfo) == 0 &&
        sourceInfo.st_dev == targetInfo.st_dev && sourceInfo.st_ino == targetInfo.st_ino) {
        return {};
    }
    const std::string temporary = temporaryPathFor(target);
    ::unlink(temporary.c_str());
    if (::link(source.c_str(), temporary.c_str()) == 0) {
        const sys::FileDescriptor linked(
            ::open(temporary.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        if (!linked.valid()) {
            const std::string why = failure("open", temporary);
            removeTemporary(temporary);
            return why;
        }
        return commit(linked.get(), temporary, target);
    }
    // Another file system (or one without hard links): copy into the target's folder.
    const sys::FileDescriptor from(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (!from.valid()) {
        return failure("open", source);
    }
    const sys::FileDescriptor to(createTemporary(temporary));
    if (!to.valid()) {
        return failure("create", temporary);
    }
    if (!copyAll(from.get(), to.get())) {
        const std::string why = failure("copy to", temporary);
        removeTemporary(temporary);
        return why;
    }
    return commit(to.get(), temporary, target);
}

PlacementFailure placeContent(const std::string& content, const std::string& target,
                              PlacedMode mode, bool durable) {
    const std::string temporary = temporaryPathFor(target);
    const sys::FileDescriptor to(createTemporary(temporary));
    if (!to.valid()) {
        return failure("create", temporary);
    }
    if (!writeAll(to.get(), content)) {
        const std::string why = failure("write", temporary);
        removeTemporary(temporary);
        return why;
    }
    return commit(to.get(), temporary, target, mode, durable);
}

}  // namespace kx::files
