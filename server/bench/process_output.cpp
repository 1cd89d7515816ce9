#include "process_output.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace kx::server::bench {

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
