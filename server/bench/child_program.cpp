#include "child_program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace kx::server::bench {

pid_t startProgram(const std::string& program, const std::vector<std::string>& args, int outFd,
                   const std::string& errFile) {
    std::vector<std::string> all = {program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& arg : all) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const int out = outFd >= 0 ? outFd : open("/dev/null", O_WRONLY | O_CLOEXEC);
    const int err = errFile.empty()
                        ? STDERR_FILENO
                        : open(errFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent || dup2(out, STDOUT_FILENO) < 0 || dup2(err, STDERR_FILENO) < 0) {
            _exit(127);
        }
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    if (out != outFd) {
        close(out);
    }
    if (err != STDERR_FILENO) {
        close(err);
    }
    if (pid < 0) {
        throw std::runtime_error("cannot start " + program);
    }
    return pid;
}

int startReadingOutput(const std::string& program, const std::vector<std::string>& args,
                       const std::string& errFile, pid_t& pid) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    try {
        pid = startProgram(program, args, fds[1], errFile);
    } catch (...) {
        close(fds[0]);
        close(fds[1]);
        throw;
    }
    close(fds[1]);
    return fds[0];
}

int exitCodeOf(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string readAll(int fd, bool oneLine) {
    std::string text;
    char c = 0;
    while (read(fd, &c, 1) == 1 && !(oneLine && c == '\n')) {
        text += c;
    }
    close(fd);
    return text;
}

}  // namespace kx::server::bench
