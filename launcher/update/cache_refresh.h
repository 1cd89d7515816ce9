#pragma once
// The Refresh button of the launcher window: deletes the launcher's local cache, the folders
// "BROKER" and "CLIENT" directly below KestrixDir, after the user confirmed.

#include <string>

#include "launcher/startup/login_view.h"

namespace kx::launcher {

// cmdRefresh_Click (module "frmLogin"): asks "Refresh your KX Vantor Cache now?" (OK/Cancel);
// on OK deletes both folders, BROKER first, each attempted, and the downloads kept in TempDir to
// be continued, and tells whether both folders are gone.
void cmdRefresh_Click();

// KillFolder (Module1): deletes the folder `FullPath` (one trailing "/" ignored) with everything
// in it, read-only files and folders of the user included; true when no folder of that name is
// left. Never raises: a folder that cannot be deleted completely gives false, and what was
// deleted stays deleted.
bool KillFolder(std::string FullPath);

}  // namespace kx::launcher
