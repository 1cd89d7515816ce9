#include <iostream>
#include <string>
#include <vector>

#include "errhandler/kxdiag/kxdiag_commands.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int code = kx::errhandler::runKxdiag(args, std::cin, std::cout, std::cerr);
    std::cout.flush();
    return std::cout ? code : kx::errhandler::kKxdiagFailed;
}
