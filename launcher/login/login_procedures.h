#pragma once
// Joins the login, the selection and the start-up initialisation to the launcher window: wires
// the event procedures of cmdLogin (click; Enter on the login panel), cmdRunVersion,
// cmdCancVersion, the double click of grdVersions and the tick of the install timer.

#include "directories.h"
#include "frm_login.h"

namespace kx::launcher {

// `folders` are the machine's folders the directory set of the chosen deployment is built from;
// `form` must outlive its wired procedures (they refer to its view).
void wireLoginProcedures(FrmLogin& form, FolderSources folders);

// The install timer's tick. The install run that it starts is not part of the launcher yet: the
// tick stops the timer, as the run does first, so that an armed timer does not fire for ever.
void tmrComInstall_Timer(LoginView& view);

}  // namespace kx::launcher
