#pragma once
// Runs a program to completion with its output captured, for tests of command-line tools.

#include <filesystem>
#include <string>
#include <vector>

namespace kx::test {

struct ProcessResult {
    int exitCode = -1;  // -1 when the program could not be started or did not exit normally
    std::string out;
    std::string err;
};

// Starts `program` with `arguments` in the current environment and waits for it. Its standard
// output and error go to files in `scratch` and are read back.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::filesystem::path& scratch);

}  // namespace kx::test
