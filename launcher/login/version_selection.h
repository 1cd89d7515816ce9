#pragma once
// The selection panel of the launcher window: the one-column grid grdVersions listing the valid
// (server, deployment) pairs of rsLogins by description, in rsLogins order (grid row r is row
// r + 1 of rsLogins), and its buttons. Each handler carries the trap of module "frmLogin".

#include "launcher/startup/launcher_environment.h"
#include "launcher/startup/login_view.h"

namespace kx::launcher {

// Fills the grid from rsLogins, makes row 0 current, shows frameVersions over the window and puts
// the focus in the grid. Leaves rsLogins past its last row.
void fillVersionsGrid(LoginView& view);

// Run: positions rsLogins on the grid's current row and calls StartUpInit; the selection panel
// stays behind the install panel. Does nothing without a valid current row.
void cmdRunVersion_Click(LoginView& view, const LauncherEnvironment& environment);

// A double click runs the row under the pointer (making it current first); a double click on
// the empty area below the rows does nothing.
void grdVersions_DblClick(LoginView& view, const LauncherEnvironment& environment);

// Cancel of the selection panel: hides it, which shows the login panel again with the entries
// still in their boxes, and puts the focus in the Filer Code box.
void cmdCancVersion_Click(LoginView& view);

}  // namespace kx::launcher
