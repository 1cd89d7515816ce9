// kxreg run as a separate process against the files the test points it at.
#include <gtest/gtest.h>

#include <string>

#include "platform/registry/registry.h"
#include "platform/registry/settings.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace kx::registry {
namespace {

using kx::test::ScopedRegistry;

struct ToolRun {
    int exitCode = -1;
    std::string output;  // standard output and standard error, in that order
};

// kxreg against the files of a temporary registry, which it inherits through the environment.
class Kxreg : public ::testing::Test {
  protected:
    // Runs kxreg with `arguments`, already quoted for the shell.
    ToolRun kxreg(const std::string& arguments) {
        const auto run = kx::test::runProcess(
            "/bin/sh", {"-c", std::string(KX_BIN_DIR) + "/kxreg " + arguments}, scratch_.path());
        return {run.exitCode, run.out + run.err};
    }
    static std::optional<std::string> machineValue(const std::string& key,
                                                   const std::string& name) {
        return queryString(Hive::LocalMachine, "SOFTWARE\\" + key, name);
    }

    ScopedRegistry registry_;
    kx::test::TempDir scratch_;
};

TEST_F(Kxreg, QueryShowsWhatSaveSettingWroteAndAddAndDeleteChangeTheMachineFile) {
    SaveSetting("KXVantor", "LoginInfo", "FilerCode", "ABC123");
    SaveSetting("KXVantor", "LoginInfo", "Remember", "1");
    SaveSetting("KXVantor", "LoginInfo\\Nested", "X", "y");

    ToolRun run = kxreg("query 'HKCU\\Software\\VB and VBA Program Settings\\KXVantor\\LoginInfo'");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output,
              "\nHKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\KXVantor\\LoginInfo\n"
              "    FilerCode    REG_SZ    ABC123\n"
              "    Remember    REG_SZ    1\n"
              "\nHKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\KXVantor\\LoginInfo"
              "\\Nested\n");

    run = kxreg(
        "query 'HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\KXVantor\\"
        "LoginInfo' /v filercode");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.output.find("    FilerCode    REG_SZ    ABC123\n"), std::string::npos);
    EXPECT_EQ(run.output.find("Remember"), std::string::npos);

    // Add and delete change the machine file.
    const std::string fontsKey = "Microsoft\\Windows NT\\CurrentVersion\\Fonts";
    const std::string fonts = "'HKLM\\SOFTWARE\\" + fontsKey + "'";
    run = kxreg("add " + fonts + " /v 'Kestrix Font ZN-39.ttf' /d ZN-39.ttf");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "The operation completed successfully.\n");
    EXPECT_EQ(machineValue(fontsKey, "Kestrix Font ZN-39.ttf"), "ZN-39.ttf");

    EXPECT_EQ(kxreg("add 'HKCR\\ZNErrHandler.Error' /ve /d Error /f").exitCode, 0);
    EXPECT_EQ(machineValue("Classes\\ZNErrHandler.Error", ""), "Error");
    run = kxreg("query 'HKCR\\ZNErrHandler.Error' /ve");
    EXPECT_NE(run.output.find("    (Default)    REG_SZ    Error\n"), std::string::npos);

    EXPECT_EQ(kxreg("delete " + fonts + " /v 'kestrix font zn-39.ttf'").exitCode, 0);
    EXPECT_EQ(machineValue(fontsKey, "Kestrix Font ZN-39.ttf"), std::nullopt);
    EXPECT_EQ(kxreg("delete 'HKLM\\SOFTWARE' /f").exitCode, 0);
    EXPECT_EQ(machineValue("Classes\\ZNErrHandler.Error", ""), std::nullopt);
}

TEST_F(Kxreg, FailuresExitOneWithAnErrorLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"query 'HKLM\\SOFTWARE\\Missing'", "ERROR: The system was unable to find"},
        {"query HKLM /v Missing", "ERROR: The system was unable to find"},
        {"query 'HKXX\\SOFTWARE'", "ERROR: Invalid key name."},
        {"delete HKCU /f", "ERROR: Invalid key name."},
        {"add 'HKCU\\a' /v x /ve", "ERROR: Invalid syntax."},
        {"add 'HKCU\\a' /v x /t REG_DWORD /d 1", "ERROR: Invalid type"},
        {"query 'HKCU\\a' /d x", "ERROR: Invalid syntax."},
        {"add 'HKCU\\a' /v", "ERROR: Invalid syntax."},
        {"rename 'HKCU\\a'", "ERROR: Invalid syntax."},
        {"", "ERROR: Invalid syntax."},
    };
    for (const auto& [arguments, message] : cases) {
        ToolRun run = kxreg(arguments);
        EXPECT_EQ(run.exitCode, 1) << arguments;
        EXPECT_EQ(run.output.rfind(message, 0), 0U) << arguments << ": " << run.output;
    }
    // None of the refused additions created anything.
    EXPECT_FALSE(std::filesystem::exists(registry_.userFile()));
}

}  // namespace
}  // namespace kx::registry
