// kxreg: queries and changes the registry stand-in from the command line (see reg_command.h).
#include <iostream>
#include <string>
#include <vector>

#include "platform/registry/reg_command.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return kx::registry::runRegCommand(args, std::cout, std::cerr);
}
