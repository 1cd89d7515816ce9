#pragma once
// The shell's "execute" operation (ShellExecute) on Linux: opens a file with a verb and returns at
// once, without waiting for what it started.
//
//   default verb ("") and "open": an executable file (a regular file we may execute) is started
//       directly with the parameters; any other existing file is handed to xdg-open.
//   "runas": an executable file is started through pkexec, which asks for an administrator. When
//       the running program's folder holds kElevationHelper, pkexec runs that helper with the
//       working folder, the file and the parameters: its polkit action names the program in the
//       prompt, and it starts the file in that folder (pkexec itself starts in root's home).
//       This returns once the prompt is answered and pkexec has handed over to the program (half
//       a second more): a dismissed or refused prompt, and a program that pkexec or the helper
//       could not run (exit code 126 or 127 in that time), give 5.
//   other verbs: not supported (31).
//
// The parameters are one text, split into arguments by the Windows rules
// (splitWindowsArguments); the program starts in `directory` (the launcher's own folder when it is
// empty) in a session of its own, and is reaped when it ends. The show state is accepted for the
// old interface's sake; a program decides itself how its windows appear.
//
// Result: a number above 32 when the program was started, else the shell's error code:
//   2 file not found, 3 path not found (a missing folder of the file, or a missing working
//   folder), 5 access denied, 8 out of memory, 11 bad format (not a program the system can run),
//   31 no application for the file or the verb (xdg-open or pkexec missing included).

#include <cstdint>
#include <string>

namespace kx::shell {

namespace code {
inline constexpr std::int32_t kStarted = 42;
inline constexpr std::int32_t kOutOfResources = 0;
inline constexpr std::int32_t kFileNotFound = 2;
inline constexpr std::int32_t kPathNotFound = 3;
inline constexpr std::int32_t kAccessDenied = 5;
inline constexpr std::int32_t kOutOfMemory = 8;
inline constexpr std::int32_t kBadFormat = 11;
inline constexpr std::int32_t kNoAssociation = 31;
}  // namespace code

inline constexpr const char* kElevationHelper = "kxvantor-runas";

inline constexpr std::int32_t SW_SHOWNORMAL = 1;
inline constexpr std::int32_t SW_SHOWMINIMIZED = 2;

std::int32_t ShellExecute(const std::string& verb, const std::string& file,
                          const std::string& parameters, const std::string& directory,
                          std::int32_t showCommand);

}  // namespace kx::shell
