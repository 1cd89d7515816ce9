#pragma once
// Small wrappers of operating-system services for the install engine (Module1): the short form
// of a path, running a command line and waiting for it, the machine's IPv4 address, the write
// probe that stands for the right to install files, and the text of a program-start error code.
// Each carries the crash capture's trap: an unexpected run-time error (or hardware fault) inside
// them is reported and ends the launcher.

#include <sys/types.h>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/shell/windows_command_line.h"

namespace kx::launcher {

// Linux has no short (8.3) names: the path itself names the same file. The result is `PathName`
// when something exists there, "" otherwise (as a failed lookup gives on Windows). Long paths are
// returned whole.
std::string ConvertToShortPath(const std::string& PathName);

// Starts `program` (a path to an existing file, or a name found in PATH) with `argv` (argv[0]
// first) in the launcher's environment and folder, as posix_spawn does: returns 0 and sets *pid,
// or an errno value when the program cannot be started.
using SpawnFunction = std::function<int(pid_t* pid, const std::string& program,
                                        const std::vector<std::string>& argv)>;
int posixSpawnProgram(pid_t* pid, const std::string& program, const std::vector<std::string>& argv);

// Runs a command line and waits for it without a time limit; returns its exit code.
// The line is split into arguments by the Windows rules (splitWindowsCommandLine). The program is
// found as Windows finds it: an unquoted first token that contains blanks is tried prefix by
// prefix (the shortest existing file wins), then the first argument as a path, then a name
// without "/" through PATH. Results: the exit status of the process; 128 + the signal number
// when a signal ended it (the shells' convention); -1 when it cannot be started (empty command
// line, no such program, spawn failure).
std::int32_t ExecCmd(const std::string& cmdline, const SpawnFunction& spawn = posixSpawnProgram);

// The arguments of a command line by the Windows rules (windows_command_line.h).
using shell::splitWindowsCommandLine;

// The machine's IPv4 addresses as the operating system lists them (unsorted, duplicates
// possible). `status` is 0 on success, else the failing call's error code.
using Ipv4Address = std::array<std::uint8_t, 4>;
struct Ipv4Table {
    std::int32_t status = 0;
    std::vector<Ipv4Address> addresses;
};
using Ipv4Lister = std::function<Ipv4Table()>;
Ipv4Table listInterfaceAddresses();  // getifaddrs, IPv4 entries only

// The highest IPv4 address of the machine (sorted by value, so a network address wins over the
// loopback address) as dotted text; "" when there is none, when listing fails, or when there are
// more than 21 addresses (the old fixed-size table could not hold them).
std::string GetIpAddrTable(const Ipv4Lister& list = listInterfaceAddresses);

// Whether the user may install files. True without touching the disk when this run skips the
// update check (retCheckForUpdates is not vbmsg::kYes). Otherwise creates CommonDir + "/KXTest"
// and in it "KXTest.dat", then deletes both; true when all of that succeeded. A probe folder left
// by an earlier failed run is used as it is (a non-folder of that name is replaced), so it does
// not make the answer false for ever; a successful probe leaves nothing behind.
bool CheckAdminRights();

// The code, " : " and the text of a program-start error code ("5 : Access Denied"); unknown codes
// give "(Unknown Error Code)".
std::string SysErrorMessage(std::int32_t ResultCode);

}  // namespace kx::launcher
