#pragma once
// Pieces of the window's load sequence that are not window work: the title and the profile switch.
// The window's load handler runs, in order: title, applyProfileSwitch, registerLauncherFonts
// (fonts.h), InitConfig and applyConfiguration (config.h), restoreRememberedLogin
// (remembered_login.h).

#include <string>

namespace kx::launcher {

// "KX Vantor, version " + major + "." + minor + ".0." + revision of the launcher's own version.
std::string launcherWindowTitle();

// Sets Module1().mUseProfile from `commandLine` (commandLineHasUseProfile).
void applyProfileSwitch(const std::string& commandLine);

}  // namespace kx::launcher
