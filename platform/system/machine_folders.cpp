#include "machine_folders.h"

#include <cstdlib>

#include "path_text.h"

namespace kx::sys {

namespace {

// The variable's value when set and not empty, else the fallback.
std::string folderFromEnvironment(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    return withoutTrailingSlash(value != nullptr && *value != '\0' ? value : fallback);
}

}  // namespace

std::string systemDirectory() {
    return folderFromEnvironment("KX_SYSTEM_DIR", "/var/lib/kestrix/system");
}

std::string windowsDirectory() {
    return folderFromEnvironment("KX_WINDOWS_DIR", "/var/lib/kestrix/windows");
}

std::string commonFilesDirectory() {
    return folderFromEnvironment("KX_COMMON_FILES_DIR", "/var/lib/kestrix/common");
}

std::string caFile() {
    const char* value = std::getenv("KX_CA_FILE");
    return value != nullptr ? value : "";
}

std::string tokenDirectory() {
    return folderFromEnvironment("KX_TOKEN_DIR", folderFromEnvironment("TMPDIR", "/tmp").c_str());
}

}  // namespace kx::sys
