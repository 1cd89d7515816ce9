// kxserver: the reference business-object service and vendor web server.
#include <iostream>
#include <string>
#include <vector>

#include "server/admin_cli.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return kx::server::runCommandLine(args, std::cout, std::cerr);
}
