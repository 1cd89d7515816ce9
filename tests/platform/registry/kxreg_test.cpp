// kxreg run as a separate process against the files the test points it at.
#include <gtest/gtest.h>

#include <string>

#include "child_process.h"
#include "registry.h"
#include "settings.h"
#include "temp_dir.h"

namespace kx::registry {
namespace {

using kx::test::ScopedRegistry;

struct ToolRun {
    int exitCode = -1;
    std::string output;  // standard output and standard error, in that order
};

// Runs kxreg with `arguments` (already quoted for the shell); the environment is inherited, so
// the registry files are those of the test's ScopedRegistry.
ToolRun kxreg(const std::string& arguments, const kx::test::TempDir& scratch) {
    const auto run = kx::test::runProcess(
        "/bin/sh", {"-c", std::string(KX_BIN_DIR) + "/kxreg " + arguments}, scratch.path());
    return {run.exitCode, run.out + run.err};
}

TEST(Kxreg, QueryShowsWhatSaveSettingWrote) {
    ScopedRegistry registry;
    kx::test::TempDir scratch;
    SaveSetting("KXVantor", "LoginInfo", "FilerCode", "ABC123");
    SaveSetting("KXVantor", "LoginInfo", "Remember", "1");
    SaveSetting("KXVantor", "LoginInfo\\Nested", "X", "y");

    ToolRun run =
        kxreg("query 'HKCU\\Software\\VB and VBA Program Settings\\KXVantor\\LoginInfo'", scratch);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output,
              "\nHKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\KXVantor\\LoginInfo\n"
              "    FilerCode    REG_SZ    ABC123\n"
              "    Remember    REG_SZ    1\n"
              "\nHKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\KXVantor\\LoginInfo"
              "\\Nested\n");

    run = kxreg(
        "query 'HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\KXVantor\\"
        "LoginInfo' /v filercode",
        scratch);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.output.find("    FilerCode    REG_SZ    ABC123\n"), std::string::npos);
    EXPECT_EQ(run.output.find("Remember"), std::string::npos);
}

TEST(Kxreg, AddAndDeleteChangeTheMachineFile) {
    ScopedRegistry registry;
    kx::test::TempDir scratch;
    const std::string fonts = "'HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts'";
    ToolRun run = kxreg("add " + fonts + " /v 'Kestrix Font ZN-39.ttf' /d ZN-39.ttf", scratch);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "The operation completed successfully.\n");
    EXPECT_EQ(
        queryString(Hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
                    "Kestrix Font ZN-39.ttf"),
        "ZN-39.ttf");

    EXPECT_EQ(kxreg("add 'HKCR\\ZNErrHandler.Error' /ve /d Error /f", scratch).exitCode, 0);
    EXPECT_EQ(queryString(Hive::LocalMachine, "SOFTWARE\\Classes\\ZNErrHandler.Error", ""),
              "Error");
    run = kxreg("query 'HKCR\\ZNErrHandler.Error' /ve", scratch);
    EXPECT_NE(run.output.find("    (Default)    REG_SZ    Error\n"), std::string::npos);

    EXPECT_EQ(kxreg("delete " + fonts + " /v 'kestrix font zn-39.ttf'", scratch).exitCode, 0);
    EXPECT_EQ(
        queryString(Hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
                    "Kestrix Font ZN-39.ttf"),
        std::nullopt);
    EXPECT_EQ(kxreg("delete 'HKLM\\SOFTWARE' /f", scratch).exitCode, 0);
    EXPECT_EQ(queryString(Hive::LocalMachine, "SOFTWARE\\Classes\\ZNErrHandler.Error", ""),
              std::nullopt);
}

TEST(Kxreg, FailuresExitOneWithAnErrorLine) {
    ScopedRegistry registry;
    kx::test::TempDir scratch;
    struct Case {
        const char* arguments;
        const char* message;
    };
    for (const Case& c : {
             Case{"query 'HKLM\\SOFTWARE\\Missing'", "ERROR: The system was unable to find"},
             Case{"query HKLM /v Missing", "ERROR: The system was unable to find"},
             Case{"query 'HKXX\\SOFTWARE'", "ERROR: Invalid key name."},
             Case{"delete HKCU /f", "ERROR: Invalid key name."},
             Case{"add 'HKCU\\a' /v x /ve", "ERROR: Invalid syntax."},
             Case{"add 'HKCU\\a' /v x /t REG_DWORD /d 1", "ERROR: Invalid type"},
             Case{"query 'HKCU\\a' /d x", "ERROR: Invalid syntax."},
             Case{"add 'HKCU\\a' /v", "ERROR: Invalid syntax."},
             Case{"rename 'HKCU\\a'", "ERROR: Invalid syntax."},
             Case{"", "ERROR: Invalid syntax."},
         }) {
        ToolRun run = kxreg(c.arguments, scratch);
        EXPECT_EQ(run.exitCode, 1) << c.arguments;
        EXPECT_EQ(run.output.rfind(c.message, 0), 0U) << c.arguments << ": " << run.output;
    }
    // None of the refused additions created anything.
    EXPECT_FALSE(std::filesystem::exists(registry.userFile()));
}

}  // namespace
}  // namespace kx::registry
