// kxrowset: shows a persisted row set as JSON (kxrowset_cli.h describes the command).

#include <iostream>
#include <string>
#include <vector>

#include "platform/rowset/tool/kxrowset_cli.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return kx::rowset::runKxRowset(args, std::cin, std::cout, std::cerr);
}
