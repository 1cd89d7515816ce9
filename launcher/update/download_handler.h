#pragma once
// The state event of the transfer control Inet1 (Inet1_StateChanged, module "frmLogin"): what
// happens to the answer of the install run's download request.
//
// State 12 (response completed): an answer whose headers hold "404 Object" (past their first
// character) or whose status is 404 shows the three-line not-found message; 408, 429 and 5xx are
// failures that may pass; a 416 to a request for the rest of a part installs the part when it is
// whole, else asks for the file anew; any other status outside 200-299 shows "There was an error
// downloading file <URL>". A 2xx answer's body is written, as it arrives, into the row's part
// (begun anew, or continued by a 206: current_download.h) or, for a row that cannot be
// continued, into the download file TempDir + "/" + FileNameToWrite (+ ".cmp" when
// m_isCompressed), created empty; prgCurrent and lblBytes ("12k of 40k", of the whole file) show
// the progress, and the window's events run, at most at the screen's refresh rate. The body ends
// with the control's empty chunk only. A body that broke off (the transfer failed, or fewer bytes
// than Content-Length announced) is a failure that may pass and is not installed; a body without
// a usable Content-Length is installed when its transfer completed cleanly. A complete body (a
// part under the download file's name) goes to DoInstallRoutine. Last the install timer is
// enabled again.
//
// State 11 (error): a failure that may pass when the connection was refused, reset or timed out,
// else the download-error message. Other states are ignored.
//
// A failure that may pass is left to the install run to try again (download_attempts.h) and
// reported only on its last attempt. Every message names Inet1.URL, the address the run asked
// for (not one it was redirected to); every reported failure marks the run's file as failed. A
// download file that cannot be created or written goes to the trap, which reports it and ends the
// launcher.
//
// While the current file comes as a patch (InstallWindow::patch), the body is the patch's: it
// goes into the patch's file (or its part), is refused once longer than the list says, and is
// only received, not installed; a failure that would be reported is noted for the install run
// instead, which then downloads the whole file.

#include <cstdint>

#include "launcher/update/install_window.h"

namespace kx::launcher {

// The most body bytes the handler takes from Inet1 at a time and writes on. Far larger than the
// old control's chunks of 2048: every read costs a hand-over between threads, and a large file
// takes hundreds of thousands of small ones. The crash dump shows the first 2048 of them as vtData.
inline constexpr std::int32_t kDownloadReadBytes = 128 * 1024;

void Inet1_StateChanged(InstallWindow& window, std::int16_t State);

// The download file of the current row.
std::string downloadFilePath();

}  // namespace kx::launcher
