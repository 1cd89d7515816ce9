#pragma once
// The remembered login: Filer Code and Login kept between runs in the per-user settings store
// ("KXVantor" / "LoginInfo"). A password is never stored: "Password" is written empty on every
// save and never read.

#include <string>

namespace kx::launcher {

inline constexpr const char* kSettingsApp = "KXVantor";
inline constexpr const char* kSettingsSection = "LoginInfo";

// What the login panel shows when the window loads.
struct RememberedLogin {
    std::string filerCode;         // Filer Code box text
    std::string login;             // Login box text
    std::string password;          // Password box text (always empty)
    bool rememberChecked = false;  // "Remember my login info" box
    bool rememberEnabled = true;
    bool refreshEnabled = true;  // the cache-refresh button
    bool refreshVisible = true;
};

// Reads the stored values. On a shared machine only the Filer Code is restored, the remember box
// is unchecked and disabled and the refresh button disabled and hidden.
RememberedLogin restoreRememberedLogin(bool sharedMachine);

// Stores the box texts as they stand. Shared machine: the Filer Code always, the Login never,
// "Remember" "0". Own machine: Filer Code and Login only when `rememberChecked`, "Remember" "1" or
// "0". Errors of the settings store raise (they go to the caller's trap).
void saveRememberedLogin(bool sharedMachine, const std::string& filerCode, const std::string& login,
                         bool rememberChecked);

}  // namespace kx::launcher
