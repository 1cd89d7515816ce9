#pragma once
// How a Windows-style command line becomes a program and its arguments (used by ExecCmd).

#include <optional>
#include <string>
#include <vector>

#include "platform/shell/windows_command_line.h"

namespace kx::launcher {

struct ResolvedCommand {
    std::string program;            // path handed to the spawn function
    std::vector<std::string> argv;  // argv[0] is the program as the command line names it
};

// Finds the program of `commandLine` as Windows does (see ExecCmd in system_utilities.h);
// nullopt when the line is empty or no program can be found.
std::optional<ResolvedCommand> resolveCommandLine(const std::string& commandLine);

using shell::findInSearchPath;

}  // namespace kx::launcher
