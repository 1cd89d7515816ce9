#include "launcher/update/cache_refresh.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "launcher/crash/trap.h"
#include "launcher/startup/launcher_state.h"
#include "launcher/update/install_messages.h"
#include "platform/files/download_part.h"
#include "platform/runtime/dispatch.h"
#include "platform/runtime/message_box.h"
#include "platform/runtime/run_time_error.h"
#include "platform/text/path_text.h"

namespace kx::launcher {

using crash::Frame;
using crash::trapped;

namespace {

namespace fs = std::filesystem;

// Gives the user full access to `folder` and to every folder below it that the user owns, as a
// forced delete clears the read-only attribute: the entries of a folder without write or search
// access cannot be removed. Symbolic links are not followed; folders of other users stay as they
// are (and their removal fails).
void allowRemovalBelow(const fs::path& folder) {
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return;
    }
    if (info.st_uid == ::geteuid() && (info.st_mode & S_IRWXU) != S_IRWXU) {
        ::fchmodat(AT_FDCWD, folder.c_str(), (info.st_mode & 07777) | S_IRWXU, AT_SYMLINK_NOFOLLOW);
    }
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        if (entry->symlink_status(error).type() == fs::file_type::directory) {
            allowRemovalBelow(entry->path());
        }
    }
}

// The file-system object of the old scripting runtime, reduced to the two members used here
// (called directly, not by name); failures raise run-time errors as its members did.
class FileSystemObject final : public Dispatch {
  public:
    std::string typeName() const override { return "FileSystemObject"; }
    Variant invoke(std::string_view, InvokeKind, std::vector<Variant>&) override {
        raiseError(vberr::kObjectDoesntSupportMember);
    }

    bool FolderExists(const std::string& path) const {
        std::error_code error;
        return fs::is_directory(path, error);
    }
    // Deletes the folder and everything in it; with `force` also what is read-only.
    void DeleteFolder(const std::string& path, bool force) const {
        if (force) {
            allowRemovalBelow(path);
        }
        std::error_code error;
        fs::remove_all(path, error);
        if (error) {
            raiseError(vberr::kPathFileAccessError, "DeleteFolder",
                       "Permission denied: " + path + " (" + error.message() + ")");
        }
    }
};

}  // namespace

bool KillFolder(std::string FullPath) {
    std::shared_ptr<FileSystemObject> oFso;
    bool result = false;
    Frame frame("Module1", "KillFolder");
    frame.local("oFso", oFso).local("KillFolder", result).param("FullPath", FullPath);
    return trapped(frame, [&] {
        frame.line(10);
        resumeNextEach({
            [&] { oFso = std::make_shared<FileSystemObject>(); },
            [&] {
                if (FullPath.ends_with('/')) {
                    FullPath.pop_back();
                }
            },
            [&] {
                if (!oFso->FolderExists(FullPath)) {
                    result = true;
                    return;
                }
                oFso->DeleteFolder(FullPath, true);
            },
            [&] { result = result || !oFso->FolderExists(FullPath); },
        });
        // An error of the deletion makes the result false even when the folder went.
        result = result && !Err().pending();
        Err().Clear();
        oFso.reset();
        return result;
    });
}

void cmdRefresh_Click() {
    bool mOKB = false;
    bool mOKC = false;
    Frame frame("frmLogin", "cmdRefresh_Click");
    frame.local("mOKC", mOKC).local("mOKB", mOKB);
    trapped(frame, [&] {
        frame.line(10);
        if (MsgBox(kRefreshQuestion, vbmsg::kOKCancel, "") != vbmsg::kOK) {
            return;
        }
        frame.line(20);
        const std::string& kestrixDir = Module1().KestrixDir;
        mOKB = KillFolder(joinPath(kestrixDir, "BROKER"));
        mOKC = KillFolder(joinPath(kestrixDir, "CLIENT"));
        files::removeDownloadParts(Module1().TempDir);
        frame.line(30);
        MsgBox(mOKB && mOKC ? kRefreshDone : kRefreshFailed, vbmsg::kOKOnly, "");
    });
}

}  // namespace kx::launcher
