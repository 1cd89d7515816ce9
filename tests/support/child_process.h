#pragma once
// Child processes for tests: a piece of a test run in a forked child (to observe faults and
// process ends without ending the test program), and programs started with their output captured,
// on top of the starter of child_program.h.
//
// Every child started here is tied to the thread that started it: it gets SIGKILL when that thread
// ends, however it ends (a crash, a time-out's kill, a child of runInChild that is killed), so a
// test never leaves a server or a program running behind it. Start children from the thread that
// runs the test.

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/child_program.h"

namespace kx::test {

struct ChildResult {
    bool exited = false;  // ended by exit/_exit (else by a signal)
    int exitCode = -1;
    int signal = 0;
    std::string output;  // everything the child wrote to standard output and standard error
};

// Forks, runs `body` in the child with standard output and error going to a pipe, and ends the
// child with exit code 0 if `body` returns (99 if it throws). Waits for the child and returns how
// it ended.
ChildResult runInChild(const std::function<void()>& body);

// Writes `text` to standard output at once (unbuffered), for use inside a child.
void emit(const std::string& text);

struct ProcessResult {
    int exitCode = -1;  // -1 when the program could not be started, 128 + N after signal N
    std::string out;
    std::string err;
};

// Starts `command` (the program, looked up in PATH when it has no slash, then its arguments) in
// the current environment with standard output and error appended to the given files (the same
// file for both is fine) and, when `input` is not -1, that descriptor as standard input. Throws
// std::runtime_error when it cannot be started.
pid_t startProcess(const std::vector<std::string>& command, const std::filesystem::path& outFile,
                   const std::filesystem::path& errFile, int input = -1);

// Starts `program` with `arguments` and waits for it. Its standard output and error go to files
// in `scratch` and are read back.
ProcessResult runProcess(const std::string& program, std::vector<std::string> arguments,
                         const std::filesystem::path& scratch);
// runProcess with `input` as the program's standard input (kept in a file in `scratch`).
ProcessResult runProcessWithInput(const std::string& program, std::vector<std::string> arguments,
                                  const std::string& input, const std::filesystem::path& scratch);

}  // namespace kx::test
