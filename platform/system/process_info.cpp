#include "platform/system/process_info.h"

#include <filesystem>
#include <system_error>

namespace kx::sys {

std::string currentExecutablePath() {
    std::error_code error;
    std::string path = std::filesystem::read_symlink("/proc/self/exe", error).string();
    if (error) {
        return "";
    }
    constexpr std::string_view kDeleted = " (deleted)";
    if (path.size() > kDeleted.size() && path.ends_with(kDeleted)) {
        path.resize(path.size() - kDeleted.size());
    }
    return path;
}

std::string currentExecutableName() {
    return std::filesystem::path(currentExecutablePath()).filename().string();
}

}  // namespace kx::sys
