#include "launcher/crash/variable_dump.h"

#include <gtest/gtest.h>

#include <string>

#include "launcher/crash/crash_support.h"
#include "platform/runtime/run_time_error.h"

namespace kx::crash {
namespace {

// Registers the test's modules and removes them again afterwards, with the error fields reset.
class VariableDumpTest : public ::testing::Test {
  protected:
    void SetUp() override { modCrashSupport() = CrashSupportState{}; }
    void TearDown() override {
        registerModuleVariables("Module1", {});
        registerModuleVariables("modRegistry", {});
        modCrashSupport() = CrashSupportState{};
    }
};

constexpr const char* kFreshErrorFields =
    "<qtrHasInitialised>False</qtrHasInitialised>\r\n"
    "<qtrErrorNumber>5</qtrErrorNumber>\r\n"
    "<qtrErrorDescription>Invalid procedure call or argument</qtrErrorDescription>\r\n"
    "<qtrErrorLine>0</qtrErrorLine>\r\n"
    "<qtrErrorSource></qtrErrorSource>\r\n";

// The whole context around these sections is compared by the hand-off test.
TEST_F(VariableDumpTest, ProcedureWithoutVariablesSendsNoneForItsLocalsAndParameters) {
    EXPECT_EQ(localsText({}), "{None}");
    EXPECT_EQ(variablesText({}), "{None}");
}

TEST_F(VariableDumpTest, RecordLocalsComeFirstAndRunIntoTheNextEntry) {
    const std::int32_t exitCode = 259;
    const std::string cmdline = "setup.exe /q";
    const Variable locals[] = {
        Variable::of("exitCode", exitCode),
        Variable::record("start", "STARTUPINFO"),
        Variable::of("cmd", cmdline),
        Variable::record("proc", "PROCESS_INFORMATION"),
    };
    EXPECT_EQ(localsText(locals),
              "<start>{STARTUPINFO}</start><proc>{PROCESS_INFORMATION}</proc>"
              "<exitCode>259</exitCode>\r\n<cmd>setup.exe /q</cmd>\r\n");
}

TEST_F(VariableDumpTest, ModuleTextsAndGlobalTextFollowTheRegisteredModulesInOrder) {
    std::string mFilerCode = "F1";
    bool hasAdmin = true;
    registerModuleVariables("Module1", [&] {
        return std::vector<Variable>{Variable::of("mFilerCode", mFilerCode),
                                     Variable::externalRecord("retCheckForUpdates")};
    });
    registerModuleVariables(
        "modRegistry", [&] { return std::vector<Variable>{Variable::of("HasAdmin", hasAdmin)}; });
    mFilerCode = "F2";  // values are read when the dump is made

    EXPECT_EQ(qtrModuleVariables("Module1"),
              "<mFilerCode>F2</mFilerCode>\r\n"
              "<retCheckForUpdates>{Cannot dump external UDTs}</retCheckForUpdates>");
    EXPECT_EQ(qtrModuleVariables("modRegistry"), "<HasAdmin>True</HasAdmin>\r\n");
    EXPECT_EQ(qtrModuleVariables("frmLogin"), "{None}");

    // Replacing a provider keeps its place; a failing provider yields one error entry.
    registerModuleVariables(
        "Module1", []() -> std::vector<Variable> { raiseError(vberr::kObjectVariableNotSet); });
    qtrCaptureError(RuntimeError(vberr::kInvalidProcedureCall), 0);
    EXPECT_EQ(qtrGlobalVariables(), std::string("{Error 91 formatting for output}"
                                                "<HasAdmin>True</HasAdmin>\r\n") +
                                        kFreshErrorFields);
}

}  // namespace
}  // namespace kx::crash
