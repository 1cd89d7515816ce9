#pragma once
// The directory set of the launcher (the folder fields of Module1State) and the profile switch.
//
// InitDirectories(isStartUp) sets ProgFilesDir, OstbrookDir, KestrixDir and TempDir; with
// isStartUp false it also sets CommonDir (KestrixDir/<LoginType of rsLogins>/<DeployFolder of
// rsDeployments>), BrokerDir, ClientDir, SystemDir, WindowsDir and FontsDir (WindowsDir/Fonts).
// The data root is the program's own folder, or with mUseProfile the per-user application-data
// folder + "/Kestrix/Kestrix Vantor". Paths are joined with "/" and have no trailing "/".
//
// Each step that fails is skipped (its field keeps its value) and nothing is reported; each
// folder is created on its own ("create" makes one folder whose parent must exist; an existing
// folder is left as it is). A LoginType or DeployFolder that is not a plain folder name ("", ".",
// "..", or containing "/" or NUL) fails its step, so that server data cannot lead outside
// KestrixDir.

#include <functional>
#include <string>
#include <string_view>

namespace kx::launcher {

// Where the machine's folders come from. system() reads the running system: the folder of
// /proc/self/exe, and the user's data folder and the machine folders of platform/system
// (userDataDirectory, systemDirectory, windowsDirectory). Tests pass their own.
struct FolderSources {
    std::function<std::string()> programFolder;
    std::function<std::string()> applicationDataFolder;
    std::function<std::string()> systemFolder;
    std::function<std::string()> windowsFolder;

    static FolderSources system();
};

void InitDirectories(bool isStartUp, const FolderSources& sources);

// The profile switch: true when the upper-cased command line contains "USEPROFILE" anywhere.
bool commandLineHasUseProfile(std::string_view commandLine);

// This process's command line: its arguments after the program name, joined by single blanks
// (read from /proc/self/cmdline; "" when it cannot be read).
std::string processCommandLine();

}  // namespace kx::launcher
