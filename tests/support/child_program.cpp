#include "tests/support/child_program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <thread>

namespace kx::test {

void dieWithParent(pid_t parent) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) {
        _exit(98);
    }
}

namespace {

// In the freshly forked child (async-signal-safe calls only): dies with the parent's thread, puts
// the descriptors in place and executes. A failed exec writes its errno to `status`.
[[noreturn]] void execChild(pid_t parent, char* const* argv,
                            const std::vector<ChildDescriptor>& descriptors, int status) {
    dieWithParent(parent);
    for (const ChildDescriptor& d : descriptors) {
        // dup2 onto itself would keep close-on-exec; a plain copy clears it.
        if (d.source == d.target ? fcntl(d.target, F_SETFD, 0) != 0
                                 : dup2(d.source, d.target) < 0) {
            _exit(97);
        }
    }
    execvp(argv[0], argv);
    const int error = errno;
    [[maybe_unused]] const ssize_t ignored = write(status, &error, sizeof error);
    _exit(127);
}

}  // namespace

pid_t startProgram(const std::vector<std::string>& command,
                   const std::vector<ChildDescriptor>& descriptors) {
    if (command.empty()) {
        throw std::runtime_error("no program to start");
    }
    std::vector<char*> argv;
    for (const std::string& argument : command) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    // The child reports a failed exec through this close-on-exec pipe; success closes it unread.
    int status[2];
    if (pipe2(status, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        execChild(parent, argv.data(), descriptors, status[1]);
    }
    close(status[1]);
    int error = 0;
    const bool execFailed = pid > 0 && read(status[0], &error, sizeof error) == sizeof error;
    close(status[0]);
    if (pid < 0 || execFailed) {
        if (execFailed) {
            exitCodeOf(pid);
        }
        throw std::runtime_error("cannot start " + command[0]);
    }
    return pid;
}

int startReadingOutput(const std::vector<std::string>& command, const std::string& errFile,
                       pid_t& pid) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const int err = errFile.empty()
                        ? STDERR_FILENO
                        : open(errFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    try {
        if (err < 0) {
            throw std::runtime_error("cannot open " + errFile);
        }
        pid = startProgram(command, {{STDOUT_FILENO, fds[1]}, {STDERR_FILENO, err}});
    } catch (...) {
        close(fds[0]);
        close(fds[1]);
        if (err > STDERR_FILENO) {
            close(err);
        }
        throw;
    }
    close(fds[1]);
    if (err != STDERR_FILENO) {
        close(err);
    }
    return fds[0];
}

namespace {

int exitCodeFromStatus(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

int exitCodeOf(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return exitCodeFromStatus(status);
}

int stopProgram(pid_t pid, int signal, std::chrono::milliseconds within) {
    kill(pid, signal);
    const auto deadline = std::chrono::steady_clock::now() + within;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            exitCodeOf(pid);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return exitCodeFromStatus(status);
}

std::string readAll(int fd, bool oneLine) {
    std::string text;
    // One byte at a time for a line, so that nothing after it is taken from the pipe; in blocks
    // otherwise, as a program's whole output may be large.
    char block[4096];
    const std::size_t want = oneLine ? 1 : sizeof block;
    for (;;) {
        const ssize_t got = read(fd, block, want);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0 || (oneLine && block[0] == '\n')) {
            break;
        }
        text.append(block, static_cast<std::size_t>(got));
    }
    close(fd);
    return text;
}

}  // namespace kx::test
