#pragma once
// The state event of the transfer control Inet1 (Inet1_StateChanged, module "frmLogin"): what
// happens to the answer of the install run's download request.
//
// State 12 (response completed): an answer whose headers hold "404 Object" (past their first
// character) or whose status is 404 shows the three-line not-found message; any other status
// outside 200-299 shows "There was an error downloading file <URL>". A 2xx answer's body is
// written, as it arrives, into the download file TempDir + "/" + FileNameToWrite (+ ".cmp" when
// m_isCompressed), created empty for each request; prgCurrent and lblBytes ("12k of 40k") show
// the progress, and the window's events run, at most at the screen's refresh rate. The body ends
// with the control's empty chunk only. A body that broke off (the transfer failed, or fewer bytes
// than Content-Length announced) shows the download-error message and is not installed; a body
// without a usable Content-Length is installed when its transfer completed cleanly. A complete
// body goes to DoInstallRoutine. Last the install timer is enabled again.
//
// State 11 (error): the download-error message; nothing else. Other states are ignored.
//
// Every message names Inet1.URL; every failure marks the run's file as failed. A download file
// that cannot be created or written goes to the trap, which reports it and ends the launcher.

#include <cstdint>

#include "install_window.h"

namespace kx::launcher {

void Inet1_StateChanged(InstallWindow& window, std::int16_t State);

// The download file of the current row.
std::string downloadFilePath();

}  // namespace kx::launcher
