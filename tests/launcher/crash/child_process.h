#pragma once
// Runs a piece of a test in a forked child, so that faults and process ends can be observed
// without ending the test program.

#include <functional>
#include <string>

namespace kx::crash::test {

struct ChildResult {
    bool exited = false;  // ended by exit/_exit (else by a signal)
    int exitCode = -1;
    int signal = 0;
    std::string output;  // everything the child wrote to standard output and standard error
};

// Forks, runs `body` in the child with standard output and error going to a pipe, and ends the
// child with exit code 0 if `body` returns. Waits for the child and returns how it ended.
ChildResult runInChild(const std::function<void()>& body);

// Writes `text` to standard output at once (unbuffered), for use inside a child.
void emit(const std::string& text);

}  // namespace kx::crash::test
