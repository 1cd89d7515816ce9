#include "platform/runtime/debug_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace kx {

namespace {

const DebugLogTarget& target() {
    static const DebugLogTarget chosen = debugLogTargetFor(std::getenv("KX_DEBUG_LOG"));
    return chosen;
}

}  // namespace

DebugLogTarget debugLogTargetFor(const char* switchValue) {
    const std::string value = switchValue != nullptr ? switchValue : "";
    if (value == "1") {
        return {DebugLogTarget::Kind::StandardError, {}};
    }
    if (value.starts_with('/')) {
        return {DebugLogTarget::Kind::File, value};
    }
    return {};
}

bool debugLogEnabled() {
    return target().kind != DebugLogTarget::Kind::Off;
}

void debugLog(std::string_view message) {
    const DebugLogTarget& to = target();
    if (to.kind == DebugLogTarget::Kind::Off) {
        return;
    }
    std::string line = "KX debug [" + std::to_string(::getpid()) + "] ";
    line.append(message);
    line += '\n';
    const bool toFile = to.kind == DebugLogTarget::Kind::File;
    const int fd = toFile ? ::open(to.path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600)
                          : STDERR_FILENO;
    if (fd < 0) {
        return;
    }
    // A short or failed write loses this line only; nothing else may depend on it.
    [[maybe_unused]] const ssize_t written = ::write(fd, line.data(), line.size());
    if (toFile) {
        ::close(fd);
    }
}

}  // namespace kx
