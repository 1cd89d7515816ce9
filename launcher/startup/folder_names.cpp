#include "launcher/startup/folder_names.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/runtime/run_time_error.h"

namespace kx::launcher {

void createFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) == 0) {
        return;
    }
    const int error = errno;
    struct stat existing {};
    if (error == EEXIST && ::stat(path.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode)) {
        return;
    }
    raiseError(vberr::kPathFileAccessError, "MkDir",
               "Path/File access error: " + path + " (" + std::strerror(error) + ")");
}

void requirePlainFolderName(const std::string& name) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
        name.find('\0') != std::string::npos) {
        raiseError(vberr::kBadFileNameOrNumber, "InitDirectories",
                   "Bad file name or number: not a folder name");
    }
}

}  // namespace kx::launcher
