#pragma once
// The Login button of the launcher window (cmdLogin_Click, module "frmLogin"; Enter on the login
// panel clicks it too): checks the three entries, discovers the user's deployments and leads on.
//
// Inputs: the Filer Code, Login and Password boxes and mBaseURL, where the remote service
// "KXBO_V2.Init" lists the user's login servers and deployments.
//
// Outputs: the Filer Code and Login boxes upper-cased in place; the trimmed entries in mFilerCode,
// mLogin and mPassword; rsServers and rsDeployments; and rsLogins, the (server, deployment) pairs
// whose server, asked through its own object at its BusObjURL (isValidLogin with the box texts as
// they stand, the client flag and False), accepts the user, in the order of the servers list and,
// per server, of the deployments list. One pair runs StartUpInit (deployment_init.h) at once;
// several go to the selection grid (version_selection.h).
//
// Failures: a box that is blank after trimming is reported ("Filer Code is missing.  Please try
// again." and so on) with the focus put in it; no login server, or no valid pair, is reported on
// the status line and in a message that say which combination is invalid, and the login panel
// stays for another try. A server whose object cannot be created
// is skipped, and a failing call counts as "not valid", without a message. A service that cannot
// be reached or a list that is not a row set goes to the trap.

#include "launcher/startup/launcher_environment.h"
#include "launcher/startup/login_view.h"

namespace kx::launcher {

void cmdLogin_Click(LoginView& view, const LauncherEnvironment& environment);

inline constexpr const char* kFilerCodeMissing = "Filer Code is missing.  Please try again.";
inline constexpr const char* kLoginMissing = "Login is missing.  Please try again.";
inline constexpr const char* kPasswordMissing = "Password is missing.  Please try again.";
inline constexpr const char* kNoServerStatus = "Invalid Filer Code/Login Combination";
inline constexpr const char* kNoServerMessage =
    "Invalid Filer Code / Login combination entered.  Please check your information and try "
    "again.";
inline constexpr const char* kNoValidPairStatus = "Invalid Filer Code/Login/Password Combination";
inline constexpr const char* kNoValidPairMessage =
    "Invalid Filer Code / Login / Password combination entered.  Please check your information "
    "and try again.";
inline constexpr const char* kAuthenticatingStatus = "Authenticating, please wait...";
inline constexpr const char* kValidatingStatus = "Validating deployment options...";

}  // namespace kx::launcher
