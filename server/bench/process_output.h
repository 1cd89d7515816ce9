#pragma once
// Waiting for a child program and reading what it writes, shared by kxserver's benchmark and the
// tests that start kxserver, so that neither depends on the other.

#include <sys/types.h>

#include <string>

namespace kx::server::bench {

// Waits for `pid` to end: its exit code, 128 + the signal that ended it, or -1 when it cannot be
// waited for.
int exitCodeOf(pid_t pid);

// Reads `fd` to its end, or only up to the first line end (left out) when `oneLine`; closes it.
std::string readAll(int fd, bool oneLine);

}  // namespace kx::server::bench
