#pragma once
// The one way the programs start another program: posix_spawn with the arguments given, the
// caller's environment, and optionally another working folder, a session of its own (a detached
// start that outlives the launcher's terminal and process group) and one close-on-exec descriptor
// that the program keeps. The started program is then waited for (waitForExit) or reaped in the
// background when it ends (reapInBackground).
//
// The crash capture's re-start of the launcher as its reporting process does not come here: it
// replaces the crashed process with execve from a signal handler, where nothing may allocate.

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kx::shell {

struct SpawnRequest {
    std::string program{};            // a path; posix_spawn does not search PATH
    std::vector<std::string> argv{};  // argv[0] first
    std::string directory{};          // "" : the caller's working folder
    bool ownSession = false;          // setsid(): detached from the caller's session
    int inheritedFd = -1;             // unless -1, a close-on-exec descriptor the program keeps
};

// Starts the program: returns 0 and sets `pid`, or the errno value of the failure (ENOENT for a
// missing program or working folder, EACCES, ENOEXEC, ...).
int spawnProgram(const SpawnRequest& request, pid_t& pid);

// Waits for `pid` to end: its exit code, 128 + the signal that ended it (the shells'
// convention), or -1 when it cannot be waited for.
std::int32_t waitForExit(pid_t pid);

// Reaps `pid` on a thread of its own once it ends, for programs started and left to run.
void reapInBackground(pid_t pid);

}  // namespace kx::shell
