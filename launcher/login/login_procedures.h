#pragma once
// Joins the login, the selection, the start-up initialisation and the install run to the launcher
// window: wires the event procedures of cmdLogin (click; Enter on the login panel),
// cmdRunVersion, cmdCancVersion, the double click of grdVersions, the tick of the install timer,
// the state events of Inet1 and cmdRefresh.

#include "directories.h"
#include "frm_login.h"

namespace kx::launcher {

// `folders` are the machine's folders the directory set of the chosen deployment is built from;
// `form` must outlive its wired procedures (they refer to its view).
void wireLoginProcedures(FrmLogin& form, FolderSources folders);

}  // namespace kx::launcher
