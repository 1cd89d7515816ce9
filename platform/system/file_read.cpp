#include "platform/system/file_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/system/file_descriptor.h"

namespace kx::sys {

std::optional<std::string> readFileHead(const std::string& path, std::size_t maxBytes) {
    // O_NONBLOCK keeps open() from waiting for a writer when the path is a FIFO; the type check
    // below then rejects it.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) {
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    std::string content;
    // Files under /proc report a size of 0, so read in chunks until the end or the bound.
    constexpr std::size_t kChunk = 16384;
    while (content.size() < maxBytes) {
        const std::size_t want = std::min(kChunk, maxBytes - content.size());
        const std::size_t old = content.size();
        content.resize(old + want);
        const ssize_t got = ::read(fd.get(), content.data() + old, want);
        if (got < 0) {
            if (errno == EINTR) {
                content.resize(old);
                continue;
            }
            return std::nullopt;
        }
        content.resize(old + static_cast<std::size_t>(got));
        if (got == 0) {
            break;
        }
    }
    return content;
}

std::string_view firstLine(std::string_view text) {
    const auto end = text.find_first_of("\r\n");
    return end == std::string_view::npos ? text : text.substr(0, end);
}

}  // namespace kx::sys
