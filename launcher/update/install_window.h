#pragma once
// What the install run keeps beside the launcher state while it works the window: the window's
// procedures and view, its transfer control Inet1, the pacing of repaints, and the facts of the
// run that the old procedures had no variable for (a run in progress, a file that failed, the
// digest the current file must have, the current file's download across its attempts, the
// download parts to keep).

#include <chrono>
#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "launcher/startup/frm_login.h"
#include "launcher/startup/login_view.h"
#include "launcher/update/current_download.h"
#include "platform/inet/inet.h"

namespace kx::launcher {

// Lets a repaint (or a turn of event processing) through at most once per interval: rows and
// chunks go by far faster than a screen refreshes, and painting each would cost more than the
// work itself. The first request always passes.
class RepaintPacer {
  public:
    explicit RepaintPacer(std::chrono::milliseconds interval = std::chrono::milliseconds(16))
        : interval_(interval) {}
    bool due();

  private:
    std::chrono::milliseconds interval_;
    std::chrono::steady_clock::time_point last_{};
};

// Redirects an install file's download follows.
inline constexpr int kInstallFileRedirects = 5;

struct InstallWindow {
    // Downloads trust the window environment's CA file, keep to its rate limit and follow up to
    // kInstallFileRedirects redirects.
    explicit InstallWindow(FrmLogin& window);
    InstallWindow(const InstallWindow&) = delete;
    InstallWindow& operator=(const InstallWindow&) = delete;

    // Paints the window when the pacer lets it.
    void pacedRefresh();

    FrmLogin& form;
    LoginView& view;
    inet::Inet Inet1;
    RepaintPacer pacer;          // repaints of the run and of the wait for data
    RepaintPacer progressPacer;  // the current file's progress, as its chunks arrive
    bool runInProgress = false;
    // A file of this run was not installed (not found, failed download, bad row, failed
    // expansion, wrong digest, failed placement): the install groups' stamps are not written, so
    // that the next start checks again.
    bool fileFailed = false;
    // The SHA-256 the current file must have (64 lower-case hex digits), "" for no check.
    std::string expectedDigest;
    // The SHA-256 of the file to install when it was taken as the file was made (from a patch),
    // so that it is not read again; "" otherwise.
    std::string madeDigest;
    // While the current file comes as a patch: the patch's download. Its failures are not
    // reported and fail no file: the whole file is downloaded instead.
    struct PatchDownload {
        std::string file;       // where the whole patch is put
        std::int64_t size = 0;  // its length as the list gives it; a longer body is refused
        bool arrived = false;   // the whole body is in `file`
        std::string failure;    // why it did not arrive; "" while nothing failed
    };
    std::optional<PatchDownload> patch;
    CurrentDownload download;
    // The download parts of this run's files that were not installed: the end of the run removes
    // every other part from TempDir.
    std::set<std::string> keptParts;
};

// Joins the install run to the window: the tick of tmrComInstall, the state events of Inet1 and
// the Refresh button. `form` must outlive its wired procedures.
void wireInstallProcedures(FrmLogin& form);

}  // namespace kx::launcher
