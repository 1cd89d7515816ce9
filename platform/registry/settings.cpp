#include "platform/registry/settings.h"

#include "platform/registry/registry.h"
#include "platform/runtime/run_time_error.h"

namespace kx {
namespace {

using registry::Hive;

constexpr const char* kSettingsRoot = "Software\\VB and VBA Program Settings";

std::string settingsKey(const std::string& app, const std::string& section) {
    std::string key = std::string(kSettingsRoot) + "\\" + app;
    return section.empty() ? key : key + "\\" + section;
}

std::string describe(long code) {
    switch (code) {
        case registry::kErrorAccessDenied:
            return "the per-user registry file is not writable";
        case registry::kErrorCantOpen:
            return "the per-user registry file cannot be opened";
        case registry::kErrorFileNotFound:
            return "no such setting";
        case registry::kErrorKeyDeleted:
            return "the section was deleted meanwhile";
        default:
            return "the per-user registry file could not be written (error " +
                   std::to_string(code) + ")";
    }
}

// Raises the runtime error that stands for a failed registry call on `what`.
[[noreturn]] void raiseStoreError(const char* procedure, const std::string& what, long code) {
    bool badArgument = code == registry::kErrorInvalidParameter ||
                       code == registry::kErrorBadPathname || code == registry::kErrorFileNotFound;
    std::int32_t number = badArgument ? vberr::kInvalidProcedureCall : vberr::kPathFileAccessError;
    raiseError(number, procedure,
               standardErrorDescription(number) + ": " + what + ": " + describe(code));
}

void requireName(const char* procedure, const std::string& name, const char* role) {
    if (name.empty()) {
        raiseError(vberr::kInvalidProcedureCall, procedure,
                   standardErrorDescription(vberr::kInvalidProcedureCall) + ": empty " + role);
    }
}

}  // namespace

std::string GetSetting(const std::string& app, const std::string& section, const std::string& key,
                       const std::string& defaultValue) {
    if (app.empty() || section.empty()) {
        return defaultValue;
    }
    return registry::queryString(Hive::CurrentUser, settingsKey(app, section), key)
        .value_or(defaultValue);
}

void SaveSetting(const std::string& app, const std::string& section, const std::string& key,
                 const std::string& value) {
    requireName("SaveSetting", app, "application name");
    requireName("SaveSetting", section, "section name");
    requireName("SaveSetting", key, "key name");
    std::string path = settingsKey(app, section);
    registry::HKEY handle;
    long rc = registry::RegCreateKeyEx(Hive::CurrentUser, path, registry::kKeySetValue, handle);
    if (rc == registry::kErrorSuccess) {
        rc = registry::setString(handle, key, value);
    }
    if (rc != registry::kErrorSuccess) {
        raiseStoreError("SaveSetting", path + "\\" + key, rc);
    }
}

void DeleteSetting(const std::string& app, const std::string& section, const std::string& key) {
    requireName("DeleteSetting", app, "application name");
    std::string path = settingsKey(app, section);
    long rc = registry::kErrorSuccess;
    if (key.empty()) {
        rc = registry::RegDeleteTree(Hive::CurrentUser, path);
    } else {
        requireName("DeleteSetting", section, "section name");
        registry::HKEY handle;
        rc = registry::RegOpenKeyEx(Hive::CurrentUser, path, registry::kKeySetValue, handle);
        if (rc == registry::kErrorSuccess) {
            rc = registry::RegDeleteValue(handle, key);
        }
    }
    if (rc != registry::kErrorSuccess) {
        raiseStoreError("DeleteSetting", key.empty() ? path : path + "\\" + key, rc);
    }
}

}  // namespace kx
