// regsvr32: registers or unregisters a component library (see regsvr32.h).

#include <iostream>
#include <string>
#include <vector>

#include "platform/com/regsvr32.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    return kx::com::runRegsvr32(arguments, std::cout, std::cerr);
}
