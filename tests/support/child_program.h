#pragma once
// Starting a program as a child, waiting for it and reading what it writes: the one process
// starter of the tests and of the benchmarks.
//
// Every child started here is tied to the thread that started it: it gets SIGKILL when that
// thread ends, however it ends (a crash, a time-out's kill), so no program outlives a failed run.
// Start children from the thread that runs the work.

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace kx::test {

// For a freshly forked child (async-signal-safe): it gets SIGKILL when the thread of `parent`
// that forked it ends, and ends at once (exit code 98) when that parent is already gone.
void dieWithParent(pid_t parent);

// A descriptor the started program finds in place: `target` in the child is a copy of the
// parent's `source`. Descriptors not named are inherited unless they are close-on-exec.
struct ChildDescriptor {
    int target;
    int source;
};

// Starts `command` (the program, looked up in PATH when it has no slash, then its arguments) in
// the current environment with the given descriptors. Throws std::runtime_error when it cannot
// be started, a program that cannot be executed included.
pid_t startProgram(const std::vector<std::string>& command,
                   const std::vector<ChildDescriptor>& descriptors);

// startProgram with standard output on a pipe and standard error appended to `errFile` ("": the
// caller's own): returns the pipe's read end and sets `pid`.
int startReadingOutput(const std::vector<std::string>& command, const std::string& errFile,
                       pid_t& pid);

// Waits for `pid` to end: its exit code, 128 + the signal that ended it, or -1 when it cannot be
// waited for.
int exitCodeOf(pid_t pid);

// Sends `signal` to `pid` and waits for it to end as exitCodeOf does; one that is still running
// after `within` is killed with SIGKILL and reaped, and -1 is returned.
int stopProgram(pid_t pid, int signal, std::chrono::milliseconds within);

// Reads `fd` to its end, or only up to the first line end (left out) when `oneLine`; closes it.
std::string readAll(int fd, bool oneLine);

}  // namespace kx::test
