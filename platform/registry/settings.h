#pragma once
// The per-user settings store of the old runtime (GetSetting, SaveSetting, DeleteSetting) over
// the registry stand-in's per-user hive: application `app`, section `section` and key `key` are
// the value `key` of HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<app>\<section>.

#include <string>

namespace kx {

// The stored text, or `defaultValue` when the application, section or key is missing or the
// store cannot be read. Never raises.
std::string GetSetting(const std::string& app, const std::string& section, const std::string& key,
                       const std::string& defaultValue = std::string());

// Stores `value`, creating the keys as needed. Raises a RuntimeError (5, "Invalid procedure call
// or argument") for an empty application, section or key name or a name or value beyond the
// registry's bounds, and (75, "Path/File access error: ...") when the store cannot be written.
void SaveSetting(const std::string& app, const std::string& section, const std::string& key,
                 const std::string& value);

// Removes a whole application (empty section and key), a section (empty key) or one key. Raises
// RuntimeError 5 when what is named does not exist, 75 when the store cannot be written.
void DeleteSetting(const std::string& app, const std::string& section = std::string(),
                   const std::string& key = std::string());

}  // namespace kx
