#pragma once
// The administrator's command line of kxserver: creating and filling a catalog, publishing
// install files, listing what the server received, and serving.

#include <iosfwd>
#include <string>
#include <vector>

namespace kx::server {

// Runs one command (`args` without the program name). Returns the process exit code: 0 on
// success, 2 for a usage error, 1 for any other failure; messages go to `err`.
int runCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kx::server
