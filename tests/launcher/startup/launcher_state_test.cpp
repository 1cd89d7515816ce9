#include <gtest/gtest.h>

#include <string>

#include "launcher_state.h"
#include "variable_dump.h"

namespace kx::launcher {
namespace {

class LauncherStateDump : public ::testing::Test {
  protected:
    void SetUp() override {
        resetLauncherState();
        registerLauncherStateDump();
    }
    void TearDown() override { resetLauncherState(); }
};

TEST_F(LauncherStateDump, Module1ListsEveryVariableInDeclarationOrderWithItsForm) {
    Module1State& s = Module1();
    s.mLoginDesc = "[Demo]";
    s.rsConfig = std::make_shared<rowset::Recordset>();
    s.strmDeployments = std::make_shared<rowset::Stream>();
    s.mNumUpdates = 3;
    s.mIsSharedEnvironment = true;
    s.retCheckForUpdates = 6;
    s.FileInstallType = 5;
    s.mUseProfile = true;
    const std::string text = crash::qtrModuleVariables("Module1");

    const std::string crlf = "\r\n";
    EXPECT_EQ(text.rfind("<mLoginDesc>[Demo]</mLoginDesc>" + crlf + "<mFilerCode>", 0), 0U);
    EXPECT_NE(text.find("<rsConfig>{Recordset}</rsConfig>" + crlf), std::string::npos);
    EXPECT_NE(
        text.find("<mNumUpdates>3</mNumUpdates>" + crlf + "<mIsUpdateAdmin>False</mIsUpdateAdmin>" +
                  crlf + "<mIsSharedEnvironment>True</mIsSharedEnvironment>"),
        std::string::npos);
    EXPECT_NE(text.find("<rsServers>{Nothing}</rsServers>" + crlf +
                        "<strmServers>{Nothing}</strmServers>"),
              std::string::npos);
    EXPECT_NE(text.find("<strmDeployments>{Stream}</strmDeployments>"), std::string::npos);
    EXPECT_NE(text.find("<KXBOInit>{Nothing}</KXBOInit>" + crlf +
                        "<retCheckForUpdates>{Cannot dump external UDTs}</retCheckForUpdates>"
                        "<TempDir></TempDir>" +
                        crlf),
              std::string::npos);
    EXPECT_NE(text.find("<FileInstallType>5</FileInstallType>"), std::string::npos);
    const std::string tail = "<m_SkipCustomUpdateCheck>False</m_SkipCustomUpdateCheck>" + crlf +
                             "<mUseProfile>True</mUseProfile>" + crlf;
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);

    // 52 tagged entries with line ends, and the placeholder without one.
    std::size_t lineEnds = 0;
    for (std::size_t at = text.find(crlf); at != std::string::npos; at = text.find(crlf, at + 2)) {
        ++lineEnds;
    }
    EXPECT_EQ(lineEnds, 52U);
}

TEST_F(LauncherStateDump, GlobalTextIsModule1ThenHasAdminThenTheCrashFields) {
    modRegistry().HasAdmin = true;
    const std::string global = crash::qtrGlobalVariables();
    const std::string module1 = crash::qtrModuleVariables("Module1");
    EXPECT_EQ(crash::qtrModuleVariables("modRegistry"), "<HasAdmin>True</HasAdmin>\r\n");
    EXPECT_EQ(global.substr(0, module1.size()), module1);
    EXPECT_EQ(global.substr(module1.size(), 28), "<HasAdmin>True</HasAdmin>\r\n<");
    EXPECT_NE(global.find("<qtrHasInitialised>"), std::string::npos);
}

}  // namespace
}  // namespace kx::launcher
