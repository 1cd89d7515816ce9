#include "platform/files/file_placement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/system/file_descriptor.h"

namespace kx::files {

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
    if (AtomicFile linked(target, source); linked.failure().empty()) {
        return linked.commit();
    }
    // Another file system (or one without hard links): copy into the target's folder.
    const sys::FileDescriptor from(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (!from.valid()) {
        return "cannot open " + source + ": " + std::strerror(errno);
    }
    AtomicFile copy(target);
    if (!copy.failure().empty()) {
        return copy.failure();
    }
    if (auto why = copy.copyFrom(from.get()); !why.empty()) {
        return why;
    }
    return copy.commit();
}

PlacementFailure placeContent(const std::string& content, const std::string& target,
                              PlacedMode mode, bool durable) {
    AtomicFile file(target, mode);
    if (!file.failure().empty()) {
        return file.failure();
    }
    if (auto why = file.write(content); !why.empty()) {
        return why;
    }
    return file.commit(durable);
}

}  // namespace kx::files
