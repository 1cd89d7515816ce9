#pragma once
// Starting a program as a child, waiting for it and reading what it writes: shared by kxserver's
// benchmark and the tests that start kxserver, so that neither depends on the other.

#include <sys/types.h>

#include <string>
#include <vector>

namespace kx::server::bench {

// Starts `program` (a path) with `args`. Its standard output goes to `outFd` (-1: nowhere), its
// standard error is appended to `errFile` ("": the caller's own). The child is killed (SIGKILL)
// when the thread that started it ends, a crashed caller included, so no program outlives a
// failed run. Throws std::runtime_error when it cannot be started.
pid_t startProgram(const std::string& program, const std::vector<std::string>& args, int outFd,
                   const std::string& errFile);

// startProgram with standard output on a pipe: returns the pipe's read end and sets `pid`.
int startReadingOutput(const std::string& program, const std::vector<std::string>& args,
                       const std::string& errFile, pid_t& pid);

// Waits for `pid` to end: its exit code, 128 + the signal that ended it, or -1 when it cannot be
// waited for.
int exitCodeOf(pid_t pid);

// Reads `fd` to its end, or only up to the first line end (left out) when `oneLine`; closes it.
std::string readAll(int fd, bool oneLine);

}  // namespace kx::server::bench
