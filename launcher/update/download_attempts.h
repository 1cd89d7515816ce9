#pragma once
// The install run's download of one row, and what it leaves in TempDir at the end of the run.
//
// downloadAndInstall sends the row's request through Inet1 (with "Proxy-Connection: Keep-Alive",
// and a Range when the row's part can go on: current_download.h) and waits, with the window's
// events running, until the download's state event (download_handler.h) has installed the file
// or reported why not. A failure that may pass (the connection refused, reset or cut, a time-out,
// status 408, 429 or 5xx) is tried again up to kDownloadRetries times, each after a longer wait
// (the environment's downloadRetryWait, doubled each time) or the server's Retry-After (at most
// 30 seconds), continuing where the last attempt stopped; frameStatus says so while it waits
// ("Trying Again (1 of 3): " + Description). Only the last failure is reported.
//
// removeUnusedDownloadParts, at the end of a run that installed, removes from TempDir every
// download part except those of the run's files that were not installed.

#include <optional>
#include <string>

#include "launcher/update/install_row.h"
#include "launcher/update/install_window.h"

namespace kx::launcher {

// `held` is the SHA-256 of the file the target holds now (nullopt when none can be read): a patch
// from it is tried first when the row offers one.
void downloadAndInstall(InstallWindow& window, const InstallRow& row,
                        const std::optional<std::string>& held);

void removeUnusedDownloadParts(const InstallWindow& window);

}  // namespace kx::launcher
