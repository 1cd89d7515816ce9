#include "launcher/startup/fonts.h"

#include <fontconfig/fontconfig.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "launcher/startup/folder_names.h"
#include "platform/runtime/debug_log.h"
#include "platform/system/machine_folders.h"

namespace kx::launcher {

namespace {

constexpr const char* kSystemFontconfig = "/etc/fonts/fonts.conf";
constexpr const char* kSessionConfigName = "fonts.conf";

bool isRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// A folder that only we can write: ours, not a link, no write right for others.
bool isPrivateFolder(const std::string& folder) {
    struct stat info {};
    return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::getuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// The per-session folder, created when missing; false when it cannot be had or is not private.
bool privateFolderReady(const std::string& folder) {
    if (folder.empty() || (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)) {
        return false;
    }
    return isPrivateFolder(folder);
}

std::string escapeXml(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

// The configuration the launcher itself was started with, which the session one builds on.
std::string baseFontconfig(const std::string& sessionConfig) {
    const std::string given = sys::absolutePathFromEnvironment("FONTCONFIG_FILE");
    return given.empty() || given == sessionConfig ? std::string(kSystemFontconfig) : given;
}

bool writeWhole(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".new";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file << text;
        if (!file.flush()) {
            std::remove(temporary.c_str());
            return false;
        }
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

// Links the registered files into the session folder and points FONTCONFIG_FILE, which started
// programs inherit, at a configuration that adds that folder and the machine's fonts folder.
void publishForStartedPrograms(const FontPlaces& places,
                               const std::vector<std::string>& registered) {
    const std::string& folder = places.sessionFolder;
    if (!privateFolderReady(folder)) {
        debugLog("fonts are not published for started programs: no private session folder");
        return;
    }
    const std::string linkFolder = joinPath(folder, "files");
    if (::mkdir(linkFolder.c_str(), 0700) != 0 && errno != EEXIST) {
        debugLog("fonts are not published for started programs: " + linkFolder + " (" +
                 std::strerror(errno) + ")");
        return;
    }
    for (const char* name : kLauncherFontFiles) {
        ::unlink(joinPath(linkFolder, name).c_str());  // a file gone since the last start
    }
    for (const std::string& path : registered) {
        if (::symlink(path.c_str(), joinPath(linkFolder, fileNameOf(path)).c_str()) != 0) {
            debugLog("the font " + path + " is not published for started programs (" +
                     std::strerror(errno) + ")");
        }
    }
    const std::string config = joinPath(folder, kSessionConfigName);
    if (!writeWhole(config,
                    fontconfigText(baseFontconfig(config), {linkFolder, places.machineFonts}))) {
        debugLog("fonts are not published for started programs: " + config +
                 " could not be written");
        return;
    }
    if (::setenv("FONTCONFIG_FILE", config.c_str(), 1) != 0) {
        debugLog(std::string("FONTCONFIG_FILE could not be set (") + std::strerror(errno) + ")");
    }
}

}  // namespace

std::string sessionFontFolderOfThisProcess() {
    if (const std::string runtime = sys::runtimeDirectory(); !runtime.empty()) {
        return joinPath(runtime, "kestrix-fonts");
    }
    return joinPath(sys::temporaryDirectory(), "kestrix-fonts-" + std::to_string(::getuid()));
}

std::string fontconfigText(const std::string& baseConfig,
                           const std::vector<std::string>& fontFolders) {
    std::string text =
        "<?xml version=\"1.0\"?>\n"
        "<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n"
        "<fontconfig>\n"
        "  <include ignore_missing=\"yes\">" +
        escapeXml(baseConfig) + "</include>\n";
    for (const std::string& folder : fontFolders) {
        text += "  <dir>" + escapeXml(folder) + "</dir>\n";
    }
    text += "</fontconfig>\n";
    return text;
}

bool AddFontResource(const std::string& path) {
    FcConfig* config = FcConfigGetCurrent();
    return config != nullptr && isRegularFile(path) &&
           FcConfigAppFontAddFile(config, reinterpret_cast<const FcChar8*>(path.c_str())) != 0;
}

void refreshFontCache(const std::string& folder) {
    FcConfig* config = FcConfigGetCurrent();
    if (config != nullptr && !folder.empty()) {
        if (FcCache* cache =
                FcDirCacheRescan(reinterpret_cast<const FcChar8*>(folder.c_str()), config)) {
            FcDirCacheUnload(cache);
        }
    }
}

std::vector<std::string> registerLauncherFonts(const FontPlaces& places) {
    std::vector<std::string> registered;
    for (const char* name : kLauncherFontFiles) {
        const std::string path = joinPath(places.programFolder, name);
        if (AddFontResource(path)) {
            registered.push_back(path);
        } else {
            debugLog("the launcher font " + path + " is not registered (missing or no font)");
        }
    }
    publishForStartedPrograms(places, registered);
    return registered;
}

}  // namespace kx::launcher
