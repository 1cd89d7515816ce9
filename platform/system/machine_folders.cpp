#include "platform/system/machine_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/text/path_text.h"

namespace kx::sys {

namespace {

// The process's variable `name`; "" when it is not set.
std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The variable's value when set and not empty, else the fallback.
std::string variableOr(const char* name, const char* fallback) {
    std::string value = variable(name);
    return value.empty() ? fallback : value;
}

std::string folderFromEnvironment(const char* name, const char* fallback) {
    return withoutTrailingSlash(variableOr(name, fallback));
}

std::string homeFolder() {
    if (std::string home = absolutePathFromEnvironment("HOME"); !home.empty()) {
        return withoutTrailingSlash(home);
    }
    struct passwd entry {};
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr) {
        return found->pw_dir;
    }
    return {};
}

// The user's base folder that the variable `name` names when it holds an absolute path, else the
// home folder + `underHome`; "" when there is no home folder either.
std::string userBaseFolder(const char* name, const char* underHome) {
    if (std::string folder = absolutePathFromEnvironment(name); !folder.empty()) {
        return withoutTrailingSlash(folder);
    }
    const std::string home = homeFolder();
    return home.empty() ? std::string() : joinPath(home, underHome);
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
    return variable("KX_CA_FILE");
}

std::string machineRegistryFile() {
    return variableOr("KX_MACHINE_REGISTRY", "/var/lib/kestrix/registry/machine.db");
}

std::string userRegistryFile() {
    if (std::string file = variable("KX_USER_REGISTRY"); !file.empty()) {
        return file;
    }
    const std::string config = userBaseFolder("XDG_CONFIG_HOME", ".config");
    return config.empty() ? std::string() : joinPath(config, "kestrix/registry.db");
}

std::string reportSpoolDirectory() {
    const std::string state = userBaseFolder("XDG_STATE_HOME", ".local/state");
    return state.empty() ? std::string() : joinPath(state, "Kestrix/ZNErrHandler/reports");
}

std::string absolutePathFromEnvironment(const char* name) {
    std::string value = variable(name);
    return value.starts_with('/') ? value : std::string();
}

std::string tokenDirectory() {
    return folderFromEnvironment("KX_TOKEN_DIR", temporaryDirectory().c_str());
}

std::string temporaryDirectory() {
    const std::string folder = absolutePathFromEnvironment("TMPDIR");
    return folder.empty() ? "/tmp" : withoutTrailingSlash(folder);
}

std::string runtimeDirectory() {
    return withoutTrailingSlash(absolutePathFromEnvironment("XDG_RUNTIME_DIR"));
}

std::string userDataDirectory() {
    return userBaseFolder("XDG_DATA_HOME", ".local/share");
}

}  // namespace kx::sys
