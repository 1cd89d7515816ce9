// KXVantor: the launcher and self-updater of the Kestrix applications.
#include <cstring>
#include <iostream>

#include "launcher/app/launcher_main.h"
#include "launcher/app/launcher_run.h"

namespace {

constexpr const char* kUsage =
    "Usage: KXVantor [USEPROFILE]\n"
    "Logs in to the Kestrix business-object service with Filer Code, Login and Password, brings\n"
    "the files of the chosen deployment up to date and starts its application.\n"
    "\n"
    "  USEPROFILE  keeps the data root (the configuration KXVantorConfig.XML, the deployments'\n"
    "              files) in $XDG_DATA_HOME/Kestrix/Kestrix Vantor rather than in the\n"
    "              program's own folder; the word counts anywhere, in any letter case\n"
    "  --help      prints this text\n";

}  // namespace

int main(int argc, char** argv) {
    // Answered before any window or display is needed; the launcher itself reads only USEPROFILE.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::cout << kUsage;
            return 0;
        }
    }
    const kx::launcher::LauncherEnvironment environment =
        kx::launcher::LauncherEnvironment::ofThisProcess();
    return kx::launcher::runLauncher(argc, argv,
                                     [&environment] { kx::launcher::Main(environment); });
}
