// The hand-off to the error library through a real component registered by ProgID.

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "launcher/crash/crash_support.h"
#include "launcher/crash/trap.h"
#include "platform/runtime/run_time_error.h"
#include "tests/support/child_process.h"
#include "tests/support/process_end.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/temp_dir.h"

namespace kx::crash {
namespace {

std::string StartUpInit(const std::string& deployment) {
    std::string token;
    Frame frame("frmLogin", "StartUpInit");
    frame.local("token", token).param("deployment", deployment);
    return trapped(frame, [&]() -> std::string {
        frame.line(10);
        token = "T<1>";
        frame.line(20);
        raiseError(20, "Login Check", "Invalid token");
    });
}

TEST(ReportHandOff, ErrorLibraryReceivesTheEightArgumentsAndNoBoxIsShown) {
    kx::test::ScopedRegistry registry;
    kx::test::TempDir scratch;
    ASSERT_EQ(test::runProcess(KX_REGSVR32, {"/s", KX_RECORDING_ERROR_COMPONENT}, scratch.path())
                  .exitCode,
              0);

    const std::string recordFile = (scratch / "record.txt").string();
    const test::ScopedEnvironment recordTo{"KX_TEST_ERROR_RECORD", recordFile};
    const test::ScriptedMessageBoxes boxes;
    const test::ScopedProcessEndThrows unwind;
    modCrashSupport() = CrashSupportState{};
    EXPECT_EQ(test::endCodeOf([] { StartUpInit("BROKER"); }), 1);
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ(kx::test::readFile(recordFile),
              "Long:20\n"
              "String:KXVantor\n"
              "String:frmLogin\n"
              "String:StartUpInit\n"
              "String:Invalid token\n"
              "Long:20\n"
              "String:<Variables>\r\n"
              "<LocalVariables>\r\n<token>T<1></token>\r\n</LocalVariables>\r\n"
              "<ModuleVariables>\r\n{None}</ModuleVariables>\r\n"
              "<GlobalVariables>\r\n"
              "<qtrHasInitialised>False</qtrHasInitialised>\r\n"
              "<qtrErrorNumber>20</qtrErrorNumber>\r\n"
              "<qtrErrorDescription>Invalid token</qtrErrorDescription>\r\n"
              "<qtrErrorLine>20</qtrErrorLine>\r\n"
              "<qtrErrorSource>Login Check</qtrErrorSource>\r\n"
              "</GlobalVariables>\r\n</Variables>\r\n"
              "<Parameters>\r\n<deployment>BROKER</deployment>\r\n</Parameters>\n"
              "String:300.1100.3\n");
}

}  // namespace
}  // namespace kx::crash
