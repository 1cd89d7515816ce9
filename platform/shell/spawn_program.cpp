#include "platform/shell/spawn_program.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <thread>

extern char** environ;

namespace kx::shell {

int spawnProgram(const SpawnRequest& request, pid_t& pid) {
    std::vector<char*> pointers;
    pointers.reserve(request.argv.size() + 1);
    for (const std::string& argument : request.argv) {
        pointers.push_back(const_cast<char*>(argument.c_str()));
    }
    pointers.push_back(nullptr);
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
    posix_spawnattr_init(&attributes);
    if (request.ownSession) {
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    }
    posix_spawn_file_actions_init(&actions);
    if (!request.directory.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, request.directory.c_str());
    }
    if (request.inheritedFd >= 0) {
        // Onto itself: the child's copy loses close-on-exec.
        posix_spawn_file_actions_adddup2(&actions, request.inheritedFd, request.inheritedFd);
    }
    const int error = ::posix_spawn(&pid, request.program.c_str(), &actions, &attributes,
                                    pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return error;
}

std::int32_t waitForExit(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

void reapInBackground(pid_t pid) {
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

}  // namespace kx::shell
