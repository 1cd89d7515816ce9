#pragma once
// The launcher's configuration file: a persisted row set "KXVantorConfig.XML" in ProgFilesDir with
// the text columns PropName (key) and PropValue (value), held in Module1().rsConfig for the life
// of the process. A file that cannot be opened is replaced by an empty table (PropName 255,
// PropValue 4000 characters), so that every key reads as "".

#include <string>

#include "launcher/startup/directories.h"

namespace kx::launcher {

inline constexpr const char* kConfigFileName = "KXVantorConfig.XML";
// The base URL used when the configuration names none.
inline constexpr const char* kDefaultBaseURL = "https://www.kestrix.com/kxbo";

// Calls InitDirectories(true), sets mBaseURL to the default and mIsSharedEnvironment to false, and
// loads rsConfig. Nothing is reported when the file cannot be read; a failure to build the empty
// table goes to the crash capture.
void InitConfig(const FolderSources& sources);

// The value of the first row with the key, without leading and trailing blanks; "" when the key
// is empty or absent. Any error while looking ends the lookup quietly with "".
std::string GetConfigValue(const std::string& strPropName);

// Whether a row "UPDATEADMINLOGIN" holds exactly `strLogin`; false for a blank login. Any error
// while looking ends the lookup quietly with false.
bool IsUpdateAdmin(const std::string& strLogin);

// Start-up steps after InitConfig: mBaseURL from "BaseURL" (default when empty),
// mIsSharedEnvironment from "SharedEnvironment" (trimmed, upper-cased, equal to "TRUE"),
// mWarnIfUpdates from "WarnIfUpdates" as stored.
void applyConfiguration();

}  // namespace kx::launcher
