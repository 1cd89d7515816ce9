#pragma once
// Facts about the running process that the old platform read from its process snapshot.

#include <string>

namespace kx::sys {

// The file name (without folder) of the executable that runs this process, from /proc/self/exe;
// "" when it cannot be read. A " (deleted)" mark of a replaced executable is dropped.
std::string currentExecutableName();

// The full path of that executable, "" when it cannot be read.
std::string currentExecutablePath();

}  // namespace kx::sys
