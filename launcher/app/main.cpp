// KXVantor: the launcher and self-updater of the Kestrix applications.
#include "launcher_run.h"
#include "mod_startup.h"

int main(int argc, char** argv) {
    return kx::launcher::runLauncher(argc, argv, kx::launcher::Main);
}
