#pragma once
// One start of the launcher inside a test: a program folder and a per-user data folder in a
// temporary folder, the registry files redirected there, the launcher's state fresh, and the
// configuration file written through the real row-set writer.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "launcher/startup/frm_login.h"
#include "tests/support/temp_dir.h"

namespace kx::test {

using ConfigRows = std::vector<std::pair<std::string, std::string>>;

// Writes a configuration file (PropName, PropValue) with `rows` in order.
void writeLauncherConfig(const std::filesystem::path& file, const ConfigRows& rows);

// The remembered login as the launcher stores it: one value ("<unset>" when absent), and storing
// all three as an earlier start would have.
std::string rememberedLogin(const std::string& key);
void storeRememberedLogin(const std::string& filerCode, const std::string& login,
                          const std::string& remember);

class LauncherTestSetup {
  public:
    LauncherTestSetup();

    std::filesystem::path programFolder() const { return dir_ / "program"; }
    std::filesystem::path dataFolder() const { return dir_ / "data"; }
    // The environment of a start in these folders, with `commandLine` as the program's arguments,
    // the system's certificate store, no download limit and short waits before a download is
    // tried again.
    launcher::LauncherEnvironment environment(const std::string& commandLine = "") const;
    // Writes the configuration file into the program folder.
    void configure(const ConfigRows& rows) const;

  private:
    TempDir dir_;
    ScopedRegistry registry_;
};

}  // namespace kx::test
