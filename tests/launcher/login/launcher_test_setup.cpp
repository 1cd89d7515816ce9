#include "tests/launcher/login/launcher_test_setup.h"

#include "launcher/startup/config.h"
#include "launcher/startup/launcher_state.h"
#include "platform/registry/settings.h"
#include "platform/rowset/recordset.h"

namespace kx::test {

void writeLauncherConfig(const std::filesystem::path& file, const ConfigRows& rows) {
    rowset::Recordset table;
    table.appendField("PropName", rowset::DataType::adVarWChar, 255);
    table.appendField("PropValue", rowset::DataType::adVarWChar, 4000);
    table.Open();
    for (const auto& [name, value] : rows) {
        table.AddNew();
        table.Fields("PropName").setValue(Variant(name));
        table.Fields("PropValue").setValue(Variant(value));
        table.Update();
    }
    std::filesystem::create_directories(file.parent_path());
    table.Save(file);
}

std::string rememberedLogin(const std::string& key) {
    return GetSetting("KXVantor", "LoginInfo", key, "<unset>");
}

void storeRememberedLogin(const std::string& filerCode, const std::string& login,
                          const std::string& remember) {
    SaveSetting("KXVantor", "LoginInfo", "FilerCode", filerCode);
    SaveSetting("KXVantor", "LoginInfo", "Login", login);
    SaveSetting("KXVantor", "LoginInfo", "Remember", remember);
}

LauncherTestSetup::LauncherTestSetup() {
    std::filesystem::create_directories(programFolder());
    std::filesystem::create_directories(dataFolder());
    launcher::resetLauncherState();
}

launcher::LauncherEnvironment LauncherTestSetup::environment(const std::string& commandLine) const {
    const std::string program = programFolder().string();
    const std::string data = dataFolder().string();
    const std::string machine = (dir_ / "machine").string();
    launcher::LauncherEnvironment environment;
    environment.commandLine = commandLine;
    environment.folders = {[program] { return program; }, [data] { return data; },
                           [machine] { return machine + "/system"; },
                           [machine] { return machine; }};
    environment.newDataSpace = launcher::connectorTrusting("");
    environment.downloadRetryWait = std::chrono::milliseconds(20);
    return environment;
}

void LauncherTestSetup::configure(const ConfigRows& rows) const {
    writeLauncherConfig(programFolder() / launcher::kConfigFileName, rows);
}

}  // namespace kx::test
