#include <gtest/gtest.h>

#include <string>

#include "launcher/crash/variable_dump.h"
#include "launcher/startup/launcher_state.h"
#include "tests/support/temp_dir.h"

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

// The whole dump, every variable in declaration order with its form, against the expected text.
TEST_F(LauncherStateDump, Module1ListsEveryVariableInOrderWithItsFormAndLeadsTheGlobalText) {
    Module1State& s = Module1();
    s.mLoginDesc = "[Demo]";
    s.rsConfig = std::make_shared<rowset::Recordset>();
    s.strmDeployments = std::make_shared<rowset::Stream>();
    s.mNumUpdates = 3;
    s.mIsSharedEnvironment = true;
    s.retCheckForUpdates = 6;
    s.FileInstallType = 5;
    s.mUseProfile = true;
    modRegistry().HasAdmin = true;
    const std::string module1 = crash::qtrModuleVariables("Module1");
    EXPECT_EQ(module1, test::readFile(KX_TEST_DATA_DIR "/startup/module1_dump.golden"));
    // The global text is Module1's, then HasAdmin, then the crash fields.
    const std::string global = crash::qtrGlobalVariables();
    EXPECT_TRUE(global.starts_with(module1 + "<HasAdmin>True</HasAdmin>\r\n<qtrHasInitialised>"))
        << global;
}

}  // namespace
}  // namespace kx::launcher
