#include "launcher/startup/directories.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "launcher/crash/trap.h"
#include "launcher/startup/folder_names.h"
#include "launcher/startup/launcher_state.h"
#include "platform/runtime/run_time_error.h"
#include "platform/runtime/vb_convert.h"
#include "platform/runtime/vb_strings.h"
#include "platform/system/machine_folders.h"
#include "platform/system/process_info.h"
#include "platform/text/path_text.h"

namespace kx::launcher {

namespace {

std::string programFolderOfThisProcess() {
    const std::string executable = sys::currentExecutablePath();
    return executable.empty() ? std::string()
                              : std::filesystem::path(executable).parent_path().string();
}

// The text of a column of the current row of a row set; raises like the row set (no current row,
// unknown column, Null) or 91 when the row set does not exist.
std::string currentText(const RecordsetPtr& recordset, const char* column) {
    return CStr(requireObject(recordset).Fields(column).Value());
}

// The application-data folder, created with its parents when missing, as the old folder query
// did with its create flag; "" when there is none or it cannot be created.
std::string existingApplicationDataFolder(const FolderSources& sources) {
    const std::string folder = sources.applicationDataFolder();
    std::error_code error;
    if (folder.empty() || (!std::filesystem::create_directories(folder, error) && error)) {
        return {};
    }
    return folder;
}

}  // namespace

FolderSources FolderSources::system() {
    return {programFolderOfThisProcess, sys::userDataDirectory, sys::systemDirectory,
            sys::windowsDirectory};
}

bool commandLineHasUseProfile(std::string_view commandLine) {
    return UCase(commandLine).find("USEPROFILE") != std::string::npos;
}

std::string processCommandLine() {
    std::ifstream file("/proc/self/cmdline", std::ios::binary);
    const std::string raw((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // Arguments are NUL-terminated; the first one is the program.
    const std::size_t programEnd = raw.find('\0');
    if (programEnd == std::string::npos) {
        return {};
    }
    std::string line = raw.substr(programEnd + 1);
    if (!line.empty() && line.back() == '\0') {
        line.pop_back();
    }
    for (char& c : line) {
        if (c == '\0') {
            c = ' ';
        }
    }
    return line;
}

void InitDirectories(bool isStartUp, const FolderSources& sources) {
    std::string appDataPath;
    crash::Frame frame("Module1", "InitDirectories");
    frame.local("appDataPath", appDataPath).param("isStartUp", isStartUp);
    trapped(frame, [&] {
        Module1State& s = Module1();
        frame.line(10);
        s.ProgFilesDir.clear();
        // Every step from here on is skipped when it fails; nothing leaves the procedure.
        frame.line(20);
        if (s.mUseProfile) {
            resumeNext([&] { appDataPath = existingApplicationDataFolder(sources); });
            if (!appDataPath.empty()) {
                resumeNextEach({
                    [&] { createFolder(joinPath(appDataPath, "Kestrix")); },
                    [&] {
                        s.ProgFilesDir =
                            joinPath(joinPath(appDataPath, "Kestrix"), "Kestrix Vantor");
                    },
                });
            } else {
                resumeNext([&] { s.ProgFilesDir = sources.programFolder(); });
            }
        } else {
            resumeNext([&] { s.ProgFilesDir = sources.programFolder(); });
        }
        frame.line(30);
        resumeNextEach({
            [&] { s.OstbrookDir = s.ProgFilesDir; },
            [&] { s.KestrixDir = s.ProgFilesDir; },
            [&] { createFolder(s.KestrixDir); },
            [&] { s.TempDir = joinPath(s.KestrixDir, "Temp"); },
            [&] { createFolder(s.TempDir); },
        });
        frame.line(40);
        if (!isStartUp) {
            resumeNextEach({
                [&] {
                    const std::string loginType = currentText(s.rsLogins, "LoginType");
                    requirePlainFolderName(loginType);
                    s.CommonDir = joinPath(s.KestrixDir, loginType);
                },
                [&] { createFolder(s.CommonDir); },
                [&] {
                    const std::string deployFolder = currentText(s.rsDeployments, "DeployFolder");
                    requirePlainFolderName(deployFolder);
                    s.CommonDir = joinPath(s.CommonDir, deployFolder);
                },
                [&] { createFolder(s.CommonDir); },
                [&] { s.BrokerDir = s.CommonDir; },
                [&] { s.ClientDir = s.CommonDir; },
                [&] { s.SystemDir = withoutTrailingSlash(sources.systemFolder()); },
                [&] { s.WindowsDir = withoutTrailingSlash(sources.windowsFolder()); },
                [&] { s.FontsDir = joinPath(s.WindowsDir, "Fonts"); },
            });
        }
        frame.line(50);
        Err().Clear();
    });
}

}  // namespace kx::launcher
