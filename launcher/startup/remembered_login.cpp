#include "launcher/startup/remembered_login.h"

#include "platform/registry/settings.h"

namespace kx::launcher {

namespace {

void store(const char* key, const std::string& value) {
    SaveSetting(kSettingsApp, kSettingsSection, key, value);
}

std::string stored(const char* key, const char* defaultValue) {
    return GetSetting(kSettingsApp, kSettingsSection, key, defaultValue);
}

}  // namespace

RememberedLogin restoreRememberedLogin(bool sharedMachine) {
    RememberedLogin shown;
    shown.filerCode = stored("FilerCode", "");
    if (sharedMachine) {
        shown.rememberChecked = false;
        shown.rememberEnabled = false;
        shown.refreshEnabled = false;
        shown.refreshVisible = false;
    } else {
        shown.login = stored("Login", "");
        shown.rememberChecked = stored("Remember", "0") == "1";
    }
    return shown;
}

void saveRememberedLogin(bool sharedMachine, const std::string& filerCode, const std::string& login,
                         bool rememberChecked) {
    const bool keepFilerCode = sharedMachine || rememberChecked;
    const bool keepLogin = !sharedMachine && rememberChecked;
    store("FilerCode", keepFilerCode ? filerCode : std::string());
    store("Login", keepLogin ? login : std::string());
    store("Password", std::string());
    store("Remember", keepLogin ? "1" : "0");
}

}  // namespace kx::launcher
