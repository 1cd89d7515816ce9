#pragma once
// Joins the login, the selection, the start-up initialisation and the install run to the launcher
// window: wires the event procedures of cmdLogin (click; Enter on the login panel),
// cmdRunVersion, cmdCancVersion, the double click of grdVersions, the tick of the install timer,
// the state events of Inet1 and cmdRefresh.

#include "launcher/startup/frm_login.h"

namespace kx::launcher {

// The procedures take their outside facts from the window's environment; `form` must outlive its
// wired procedures (they refer to its view and its environment).
void wireLoginProcedures(FrmLogin& form);

}  // namespace kx::launcher
