#pragma once
// The start-up initialisation of the chosen deployment (StartUpInit, a procedure of the launcher
// window, module "frmLogin"), run once the login and the deployment are fixed.
//
// Inputs: rsLogins on the chosen row, rsDeployments loaded without a filter, and the typed
// credentials in mFilerCode, mLogin and mPassword.
//
// Outputs: the directory set of the deployment; m_RDS; the token m_AuthLogin of LoginUser, called
// on the deployment's business object at its BusObjURL ("KXBOGeneral_V3.Init" for type "CLIENT",
// else "KXBO_V2.Init") with the machine's IPv4 address text; the update decision
// (update_decision.h); rsInstallList, limited to rows of InstallType 0 when the check is skipped;
// m_DownloadLocation, HasAdmin and the login notes sent to the server (login_notes.h); the list's
// signatures checked where the machine trusts update keys (install_list_check.h); the token
// inserted into m_BOServer after every "://"; the install panel showing the status of the run
// ("[description] - initializing..." first); and the install timer enabled, whose first tick
// starts the install run.
//
// Failures: an empty token raises error 20, source "Login Check". Setting the download location,
// HasAdmin, the login notes and the list limit ignore their errors; every other failure (no
// deployment row, an unreachable server, a failing call, a list that is not a row set) goes to
// the trap, which reports it and ends the launcher. Remote calls are bounded by the data space's
// time-outs.

#include <string>

#include "launcher/startup/launcher_environment.h"
#include "launcher/startup/login_view.h"

namespace kx::launcher {

inline constexpr std::int32_t kLoginCheckError = 20;
inline constexpr const char* kLoginCheckSource = "Login Check";
inline constexpr const char* kLoginCheckDescription =
    "The filer code/login/password you have supplied is not valid.";

// The directory set is built from the environment's folders; the connector comes from its
// factory.
void StartUpInit(LoginView& view, const LauncherEnvironment& environment);

}  // namespace kx::launcher
