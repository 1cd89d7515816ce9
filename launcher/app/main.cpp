// KXVantor: the launcher and self-updater of the Kestrix applications.
#include "mod_startup.h"
#include "windowed_program.h"

int main(int argc, char** argv) {
    return kx::launcher::qt::runWindowedProgram(argc, argv, kx::launcher::Main);
}
