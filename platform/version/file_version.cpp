#include "platform/version/file_version.h"

#include <algorithm>

#include "platform/system/file_read.h"
#include "platform/version/executable_version.h"

namespace kx::version {

namespace {
constexpr std::size_t kMaxSideFileBytes = 4096;
}  // namespace

std::optional<std::string> embeddedFileVersion(const std::string& path) {
    const auto file = FileByteSource::open(path);
    if (!file) {
        return std::nullopt;
    }
    if (auto version = readPeFileVersion(*file)) {
        return version;
    }
    return readElfPackageVersion(*file);
}

std::string sideFilePath(const std::string& path) {
    return path + ".ver";
}

std::optional<std::string> sideFileVersion(const std::string& path) {
    const auto side = sys::readFileHead(sideFilePath(path), kMaxSideFileBytes);
    if (!side) {
        return std::nullopt;
    }
    std::string version(sys::firstLine(*side));
    std::erase(version, ' ');
    return version;
}

std::string fileVersion(const std::string& path) {
    if (auto version = embeddedFileVersion(path)) {
        return *version;
    }
    return sideFileVersion(path).value_or("");
}

}  // namespace kx::version
