#pragma once
// Pieces of the window's load sequence (Form_Load, frm_login.h) that are not window work: the
// title and the profile switch.

#include <string>

namespace kx::launcher {

// "KX Vantor, version " + major + "." + minor + ".0." + revision of the launcher's own version.
std::string launcherWindowTitle();

// Sets Module1().mUseProfile from `commandLine` (commandLineHasUseProfile).
void applyProfileSwitch(const std::string& commandLine);

}  // namespace kx::launcher
