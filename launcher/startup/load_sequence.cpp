#include "launcher/startup/load_sequence.h"

#include "launcher/startup/directories.h"
#include "launcher/startup/launcher_state.h"

namespace kx::launcher {

std::string launcherWindowTitle() {
    return std::string("KX Vantor, version ") + KX_LAUNCHER_VERSION_MAJOR + "." +
           KX_LAUNCHER_VERSION_MINOR + ".0." + KX_LAUNCHER_VERSION_REVISION;
}

void applyProfileSwitch(const std::string& commandLine) {
    Module1().mUseProfile = commandLineHasUseProfile(commandLine);
}

}  // namespace kx::launcher
