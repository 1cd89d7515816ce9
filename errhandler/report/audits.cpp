#include "errhandler/report/audits.h"

#include "errhandler/report/audit_lists.h"
#include "errhandler/report/version.h"
#include "platform/registry/registry.h"
#include "platform/system/machine_folders.h"
#include "platform/text/path_text.h"

namespace kx::errhandler {

namespace {

constexpr const char* kCrLf = "\r\n";

std::string readRegistry(registry::Hive hive, const std::string& key, const std::string& name) {
    return registry::queryString(hive, key, name).value_or("");
}

std::string runClassChecks(const std::vector<ClassCheckGroup>& groups) {
    std::string out;
    for (const auto& group : groups) {
        for (const char* id : group.ids) {
            out += CheckCLSID(id, group.expected, group.label);
        }
    }
    return out;
}

std::string runFileChecks(const std::vector<FileCheck>& files) {
    const std::string system = sys::systemDirectory();
    const std::string common = joinPath(sys::commonFilesDirectory(), "System");
    std::string out;
    for (const auto& file : files) {
        out += CheckFileVersion(
            joinPath(file.folder == Folder::System ? system : common, file.name), file.expected);
    }
    return out;
}

std::string runRegistryChecks(const std::vector<RegistryCheck>& checks) {
    std::string out;
    for (const auto& check : checks) {
        out += CheckRegValue(check.key, "", check.expected);
    }
    return out;
}

}  // namespace

std::string CheckCLSID(const std::string& id, const std::string& expected,
                       const std::string& label) {
    const std::string key = "CLSID\\{" + id + "}\\InProcServer32";
    const std::string path = readRegistry(registry::Hive::ClassesRoot, key, "");
    if (path.empty()) {
        return "** Registry Value Missing: HKEY_CLASSES_ROOT\\" + key + " - " + label + kCrLf;
    }
    const std::string version = GetFileVersion(path);
    if (IsOlderVersion(version, expected)) {
        return "** File [" + path + "] is out of version, is " + version + ", Should Be - " +
               expected + " " + label + kCrLf;
    }
    return "";
}

std::string CheckRegValue(const std::string& key, const std::string& name,
                          const std::string& expected) {
    const std::string value = readRegistry(registry::Hive::LocalMachine, key, name);
    if (value == expected) {
        return "";
    }
    return "** Error - HKEY_LOCAL_MACHINE\\" + key + "\\" + name + " -- " + value + kCrLf;
}

std::string CheckFileVersion(const std::string& path, const std::string& expected) {
    const std::string version = GetFileVersion(path);
    if (IsOlderVersion(version, expected)) {
        return "** File Needs Update: " + path + " -- " + version + kCrLf;
    }
    return "";
}

std::string CheckMDAC() {
    const bool nt = IsWindowsNT();
    std::string out = std::string("MDAC CHECK") + kCrLf;
    out += runClassChecks(mdacClassChecks(nt));
    out += runFileChecks(mdacFileChecks(nt));
    out += runRegistryChecks(mdacRegistryChecks());
    return out;
}

std::string CheckCrystalVSFlex() {
    std::string out = std::string("Crystal + VSFlex Checks") + kCrLf;
    out += runClassChecks(crystalClassChecks());
    out += runRegistryChecks(crystalRegistryChecks());
    out += std::string(kCrLf) + "VBRuntime Checks" + kCrLf;
    out += runFileChecks(runtimeFileChecks());
    out += runClassChecks(runtimeClassChecks());
    return out;
}

}  // namespace kx::errhandler
