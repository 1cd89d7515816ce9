#pragma once
// The start-up initialisation of the chosen deployment (StartUpInit, a procedure of the launcher
// window, module "frmLogin"), run once the login and the deployment are fixed.
//
// Expects rsLogins on the chosen row and rsDeployments loaded without a filter, with the typed
// credentials in mFilerCode, mLogin and mPassword. In order: shows the install panel with the
// status "[description] - initializing...", finds the deployment, sets the directory set for it
// (InitDirectories(false)), creates m_RDS and the deployment's business object at its BusObjURL
// ("KXBOGeneral_V3.Init" for type "CLIENT", else "KXBO_V2.Init"), logs in (LoginUser with the
// machine's IPv4 address text) for the token m_AuthLogin, takes the update decision
// (update_decision.h), fetches the install list into rsInstallList, then, with errors ignored,
// sets m_DownloadLocation, HasAdmin (CheckAdminRights) and reports the login notes
// (login_notes.h), and limits the list to rows of InstallType 0 when the check is skipped. Last it
// shows the status of the run, inserts the token into m_BOServer after every "://" and enables the
// install timer, whose first tick starts the install run.
//
// An empty token fails with error 20, source "Login Check". That and every other failure outside
// the errors-ignored stretch (no deployment row, an unreachable server, a failing call, a list
// that is not a row set) go to the trap, which reports them and ends the launcher. Remote calls
// are bounded by the data space's time-outs.

#include <string>

#include "launcher_environment.h"
#include "login_view.h"

namespace kx::launcher {

inline constexpr std::int32_t kLoginCheckError = 20;
inline constexpr const char* kLoginCheckSource = "Login Check";
inline constexpr const char* kLoginCheckDescription =
    "The filer code/login/password you have supplied is not valid.";

// The directory set is built from the environment's folders; the connector comes from its
// factory.
void StartUpInit(LoginView& view, const LauncherEnvironment& environment);

}  // namespace kx::launcher
