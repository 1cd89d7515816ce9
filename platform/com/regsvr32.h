#pragma once
// The regsvr32 tool: registers or unregisters a component library by calling its
// DllRegisterServer or DllUnregisterServer.
//
//   regsvr32 [/s] [/u] FILE      (options may also be written -s, -u, in either letter case)
//   regsvr32 --help | /?         the usage line, on standard output
//
// One line tells how it went: success on standard output, failure on standard error; /s keeps
// both quiet. The exit codes follow the Windows tool's.

#include <iosfwd>
#include <string>
#include <vector>

namespace kx::com {

enum Regsvr32Exit : int {
    kRegsvr32Succeeded = 0,
    kRegsvr32BadUsage = 1,
    kRegsvr32LoadFailed = 3,
    kRegsvr32NoEntryPoint = 4,
    kRegsvr32EntryPointFailed = 5,
};

// `arguments` without the program name. Returns the exit code.
int runRegsvr32(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace kx::com
