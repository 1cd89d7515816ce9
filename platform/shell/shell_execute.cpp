#include "platform/shell/shell_execute.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <thread>
#include <vector>

#include "platform/shell/spawn_program.h"
#include "platform/shell/windows_command_line.h"
#include "platform/text/ascii_text.h"
#include "platform/text/path_text.h"

namespace kx::shell {

namespace {

bool isFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Why a file cannot be opened: 2 when its folder exists, 3 when the folder is missing.
std::int32_t missingFileCode(const std::string& file) {
    return isFolder(folderOf(file)) ? code::kFileNotFound : code::kPathNotFound;
}

std::int32_t codeOfSpawnError(int error, const std::string& file) {
    switch (error) {
        case ENOENT:
            return missingFileCode(file);
        case ENOTDIR:
            return code::kPathNotFound;
        case EACCES:
        case EPERM:
            return code::kAccessDenied;
        case ENOEXEC:
        case E2BIG:
            return code::kBadFormat;
        case ENOMEM:
            return code::kOutOfMemory;
        default:
            return code::kOutOfResources;
    }
}

// Starts argv[0] (a path) in `directory`, in a session of its own. `inherited`, unless -1, is a
// close-on-exec descriptor that the program keeps. Returns 0 or the spawn's errno value.
int spawnInSession(const std::vector<std::string>& argv, const std::string& directory,
                   int inherited, pid_t& pid) {
    return spawnProgram({.program = argv[0],
                         .argv = argv,
                         .directory = directory,
                         .ownSession = true,
                         .inheritedFd = inherited},
                        pid);
}

std::int32_t startDetached(const std::vector<std::string>& argv, const std::string& directory) {
    pid_t pid = 0;
    if (const int error = spawnInSession(argv, directory, -1, pid); error != 0) {
        return codeOfSpawnError(error, argv[0]);
    }
    reapInBackground(pid);
    return code::kStarted;
}

// How long an elevated start is watched once pkexec has handed over: the elevation helper fails
// to enter the folder or to run the program within milliseconds of starting.
constexpr auto kElevatedStartWatch = std::chrono::milliseconds(500);

// Exit codes of pkexec when it ran nothing (126: the password prompt was dismissed; 127: not
// authorised, or the program could not be run), which the elevation helper and the shells also
// give for a program they cannot run.
bool endedWithoutRunning(int status) {
    return WIFEXITED(status) && (WEXITSTATUS(status) == 126 || WEXITSTATUS(status) == 127);
}

// Returns once nothing holds the writing end of the pipe any more.
void awaitEndOfPipe(int readingEnd) {
    char byte = 0;
    for (;;) {
        const ssize_t got = ::read(readingEnd, &byte, 1);
        if (got == 0 || (got < 0 && errno != EINTR)) {
            return;
        }
    }
}

// Starts the pkexec command and learns whether the program really started. pkexec makes every
// descriptor above standard error close-on-exec before it runs the program, so the end of a pipe
// whose writing end only pkexec holds comes when it either ran the program or gave up: the wait
// lasts as long as the password prompt (as the elevation prompt holds up the old shell's
// "runas"), never for the program's life. A short watch then tells the two apart by their exit.
std::int32_t startElevated(const std::vector<std::string>& argv, const std::string& directory) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return code::kOutOfResources;
    }
    pid_t pid = 0;
    const int error = spawnInSession(argv, directory, ends[1], pid);
    ::close(ends[1]);
    if (error == 0) {
        awaitEndOfPipe(ends[0]);
    }
    ::close(ends[0]);
    if (error != 0) {
        return codeOfSpawnError(error, argv[0]);
    }
    const auto deadline = std::chrono::steady_clock::now() + kElevatedStartWatch;
    int status = 0;
    pid_t ended = 0;
    for (;;) {
        ended = ::waitpid(pid, &status, WNOHANG);
        if (ended < 0 && errno == EINTR) {
            continue;
        }
        if (ended != 0 || std::chrono::steady_clock::now() >= deadline) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (ended == 0) {
        reapInBackground(pid);
        return code::kStarted;
    }
    return ended == pid && endedWithoutRunning(status) ? code::kAccessDenied : code::kStarted;
}

std::vector<std::string> commandFor(const std::string& program, const std::string& file,
                                    const std::string& parameters) {
    std::vector<std::string> argv;
    if (!program.empty()) {
        argv.push_back(program);
    }
    argv.push_back(file);
    for (std::string& argument : splitWindowsArguments(parameters)) {
        argv.push_back(std::move(argument));
    }
    return argv;
}

// pkexec's arguments for "runas": the elevation helper beside the running program, when there is
// one, with the folder the file must start in; else the file alone.
std::vector<std::string> elevatedCommand(const std::string& pkexec, const std::string& file,
                                         const std::string& parameters,
                                         const std::string& directory) {
    std::vector<std::string> argv = commandFor(pkexec, file, parameters);
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    char here[PATH_MAX];
    if (length <= 0 || (directory.empty() && ::getcwd(here, sizeof here) == nullptr)) {
        return argv;
    }
    const std::string helper =
        joinPath(folderOf(std::string(self, static_cast<std::size_t>(length))), kElevationHelper);
    if (::access(helper.c_str(), X_OK) == 0) {
        argv.insert(argv.begin() + 1, {helper, directory.empty() ? std::string(here) : directory});
    }
    return argv;
}

}  // namespace

std::int32_t ShellExecute(const std::string& verb, const std::string& file,
                          const std::string& parameters, const std::string& directory,
                          std::int32_t /*showCommand*/) {
    const bool runas = ascii::equalsNoCase(verb, "runas");
    if (!verb.empty() && !runas && !ascii::equalsNoCase(verb, "open")) {
        return code::kNoAssociation;
    }
    struct stat info {};
    if (file.empty() || file.find('\0') != std::string::npos || ::stat(file.c_str(), &info) != 0) {
        return file.empty() ? code::kFileNotFound : missingFileCode(file);
    }
    if (!directory.empty() && !isFolder(directory)) {
        return code::kPathNotFound;
    }
    const bool executable = S_ISREG(info.st_mode) && ::access(file.c_str(), X_OK) == 0;
    std::string helper;
    if (runas || !executable) {
        helper = findInSearchPath(runas ? "pkexec" : "xdg-open");
        if (helper.empty() || (runas && !executable)) {
            return code::kNoAssociation;
        }
    }
    if (runas) {
        return startElevated(elevatedCommand(helper, file, parameters, directory), directory);
    }
    // xdg-open takes the file alone; parameters go only to programs.
    return startDetached(commandFor(helper, file, executable ? parameters : std::string()),
                         directory);
}

}  // namespace kx::shell
