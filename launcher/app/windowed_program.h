#pragma once
// The launcher as a windowed program. No Qt in this header: the program's entry and Main use it
// without depending on the toolkit.

#include <functional>

#include "launcher/startup/frm_login.h"

namespace kx::launcher::qt {

// Creates the application (taking the toolkit's own options from the command line), routes
// kx::MsgBox to Qt dialogs, calls `Main`, and runs the window events until the last window is
// gone. Returns the program's exit code.
int runWindowedProgram(int& argc, char** argv, const std::function<void()>& Main);

// Creates the launcher window, lets `wireProcedures` join the procedures of the later
// subsystems to it, loads it (Form_Load runs before the first paint) and shows it, modelessly: the
// call returns at once and the window lives until it is unloaded. Once the window has been
// painted, the error reports that earlier runs could not deliver are sent in the background
// (spooled_reports.h). While it lives, SIGTERM (the
// session ending, or another program asking the launcher to end) unloads it as the end of the
// user's session does (unload mode 2), so the remembered login is saved; while an error is being
// reported it ends the process with exit code 1 instead, as the error dialog's Close does, once
// the report's post (if under way) has finished or failed, and nothing is saved.
void showLoginWindow(LauncherEnvironment environment,
                     const std::function<void(FrmLogin&)>& wireProcedures);

}  // namespace kx::launcher::qt
