#include "tests/support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "platform/system/file_descriptor.h"
#include "tests/support/temp_dir.h"

namespace kx::test {

void emit(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (n <= 0) {
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

ChildResult runInChild(const std::function<void()>& body) {
    int fds[2];
    if (pipe(fds) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        test::dieWithParent(parent);
        close(fds[0]);
        dup2(fds[1], STDOUT_FILENO);
        dup2(fds[1], STDERR_FILENO);
        close(fds[1]);
        try {
            body();
        } catch (...) {
            // Never fall back into the test program inside the child.
            emit("the child's body let an exception escape\n");
            _exit(99);
        }
        _exit(0);
    }
    close(fds[1]);
    ChildResult result;
    result.output = test::readAll(fds[0], false);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exited = WIFEXITED(status);
    result.exitCode = result.exited ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return result;
}

pid_t startProcess(const std::vector<std::string>& command, const std::filesystem::path& outFile,
                   const std::filesystem::path& errFile, int input) {
    constexpr int kFlags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC;
    const sys::FileDescriptor out(open(outFile.c_str(), kFlags, 0600));
    const sys::FileDescriptor err(errFile == outFile ? -1 : open(errFile.c_str(), kFlags, 0600));
    const int errFd = errFile == outFile ? out.get() : err.get();
    if (!out.valid() || errFd < 0) {
        throw std::runtime_error("cannot open the output files of " + command.at(0));
    }
    std::vector<test::ChildDescriptor> descriptors = {{STDOUT_FILENO, out.get()},
                                                      {STDERR_FILENO, errFd}};
    if (input >= 0) {
        descriptors.push_back({STDIN_FILENO, input});
    }
    return test::startProgram(command, descriptors);
}

namespace {

ProcessResult runCommand(const std::vector<std::string>& command,
                         const std::filesystem::path& scratch, int input) {
    const auto outFile = scratch / "stdout.txt";
    const auto errFile = scratch / "stderr.txt";
    std::filesystem::remove(outFile);
    std::filesystem::remove(errFile);
    ProcessResult result;
    try {
        result.exitCode = exitCodeOf(startProcess(command, outFile, errFile, input));
    } catch (const std::runtime_error&) {
        return result;
    }
    result.out = readFile(outFile);
    result.err = readFile(errFile);
    return result;
}

}  // namespace

ProcessResult runProcess(const std::string& program, std::vector<std::string> arguments,
                         const std::filesystem::path& scratch) {
    arguments.insert(arguments.begin(), program);
    return runCommand(arguments, scratch, -1);
}

ProcessResult runProcessWithInput(const std::string& program, std::vector<std::string> arguments,
                                  const std::string& input, const std::filesystem::path& scratch) {
    writeFile(scratch / "stdin", input);
    const sys::FileDescriptor in(open((scratch / "stdin").c_str(), O_RDONLY | O_CLOEXEC));
    if (!in.valid()) {
        throw std::runtime_error("cannot open the input of " + program);
    }
    arguments.insert(arguments.begin(), program);
    return runCommand(arguments, scratch, in.get());
}

}  // namespace kx::test
