#pragma once
// The Login button of the launcher window (cmdLogin_Click, module "frmLogin"; Enter on the login
// panel clicks it too): checks the three entries, discovers the user's deployments and leads on.
//
// The Filer Code and Login boxes are upper-cased in place; a box that is blank after trimming is
// reported ("Filer Code is missing.  Please try again." and so on) with the focus put in it. The
// trimmed entries go to mFilerCode, mLogin, mPassword. With the hourglass shown, the remote
// service "KXBO_V2.Init" at mBaseURL lists the user's login servers and deployments (rsServers,
// rsDeployments, loaded through the text streams strmServers and strmDeployments). Each login
// server is then asked, through its own object at its BusObjURL, whether the user may use each of
// its deployments (isValidLogin with the box texts as they stand, the client flag and False). A
// server whose object cannot be created is skipped, and a failing call counts as "not valid";
// nothing is shown for either. The valid (server, deployment) pairs form rsLogins, in the order of
// the servers list and, per server, of the deployments list.
//
// No pair: the status line and a message say which combination is invalid, and the login panel
// stays for another try. One pair: StartUpInit (startup_init.h) runs at once. Several: the
// selection grid shows them (version_selection.h). The streams opened in the click are closed at
// the end. A service that cannot be reached or a list that is not a row set goes to the trap.

#include "launcher_environment.h"
#include "login_view.h"

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
