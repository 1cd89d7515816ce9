#pragma once
// The install run: the tick of the install timer tmrComInstall (module "frmLogin"), which walks
// the install list that StartUpInit loaded, in the order received.
//
// Inputs: rsInstallList and the update decision of StartUpInit. A row's target is its folder
// token + "/" + FileName ("/" + FileName for an unknown token); its local version comes from the
// registry value AltCheckRegValue of key AltCheck, from the file AltCheck names with its path
// tokens, or from the target itself. A local version that does not read (isReadableVersion)
// counts as none, except that a target whose own version does not read counts as current while
// its SHA-256 is the row's; a component whose registration is pending counts as having none. An
// existing font, and every font on a shared machine, counts as current.
//
// Outputs: each row whose server version is higher is counted (counting mode: caption "n updates
// found...") or downloaded through Inet1 and installed by the download's state event
// (download_handler.h); the start row (SequenceID 9999 or more) shows the update summary or
// warning and starts the application (application_start.h), and the rows after it are still
// processed. At the end of the list the status reads "[...] - initialization complete", the
// install groups' stamps are written (unless the check was skipped, the run only counted, or a
// file failed) and the window closes.
//
// Failures: a row whose FileName is not a plain file name, whose SHA256 cell is not 64 hex
// digits, or whose FileVersion does not read, is reported with the download-error message and
// skipped. The start row is never fetched, so only its FileName counts: one that names no file
// inside its folder is reported with "There was an error starting file <path>" and nothing is
// started. A file that cannot be put in
// place sets NeedRestart: the next row shows the install error and the window closes. A file that
// needs an update without the rights to install (HasAdmin False) shows the rights error and stops
// the run with the window left open. A tick while the run is in progress (the download re-arms
// the timer) only stops the timer. Anything else unexpected goes to the trap.

#include "launcher/update/install_window.h"

namespace kx::launcher {

void tmrComInstall_Timer(InstallWindow& window);

}  // namespace kx::launcher
