#include "launcher/crash/trap.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "launcher/crash/crash_support.h"
#include "platform/runtime/message_box.h"
#include "platform/runtime/run_time_error.h"
#include "tests/support/process_end.h"
#include "tests/support/scripted_message_boxes.h"

namespace kx::crash {
namespace {

using test::endCodeOf;

// Replaces the message box and the end of the process for one test.
class TrapTest : public ::testing::Test {
  protected:
    test::ScriptedMessageBoxes boxes;
    const test::ScopedProcessEndThrows end;
};

std::string GetConfigValue(const std::string& key) {
    std::string value;
    Frame frame("Module1", "GetConfigValue");
    frame.local("value", value).param("key", key);
    return trapped(frame, [&]() -> std::string {
        frame.line(10);
        value = "partial";
        frame.line(30);
        raiseError(vberr::kTypeMismatch, "Config", "Type mismatch");
    });
}

TEST_F(TrapTest, RaisedErrorIsCapturedShownInTheFallbackBoxAndEndsTheProcess) {
    // The note on the missing error library is exception_filter_test.cpp's.
    EXPECT_EQ(endCodeOf([] { GetConfigValue("BaseURL"); }), 1);
    EXPECT_EQ(boxes.shown(),
              (std::vector<test::ScriptedMessageBoxes::Box>{
                  {"KXVantor has encountered a problem. We are sorry for the inconvenience.\r\n\r\n"
                   "Module: Module1\r\nProcedure: GetConfigValue\r\nLine Number: 30\r\n\r\n"
                   "Type mismatch (13)",
                   vbmsg::kCritical + vbmsg::kOKOnly, "Application Error"}}));
}

TEST_F(TrapTest, InnermostTrappedProcedureReportsAndTheCallerNeverResumes) {
    bool callerResumed = false;
    const int code = endCodeOf([&] {
        Frame frame("frmLogin", "StartUpInit");
        trapped(frame, [&] {
            frame.line(70);
            GetConfigValue("SharedEnvironment");
            callerResumed = true;
        });
    });
    EXPECT_EQ(code, 1);
    EXPECT_FALSE(callerResumed);
    ASSERT_EQ(boxes.shown().size(), 1U);
    EXPECT_NE(boxes.shown()[0].prompt.find("Procedure: GetConfigValue\r\n"), std::string::npos);
}

TEST_F(TrapTest, OtherExceptionsAreReportedAsRunTimeErrorsNamingTheirType) {
    EXPECT_EQ(endCodeOf([] {
                  Frame frame("modStartup", "Main");
                  trapped(frame, [] { throw std::out_of_range("vector index 7"); });
              }),
              1);
    ASSERT_EQ(boxes.shown().size(), 1U);
    EXPECT_EQ(
        boxes.shown()[0].prompt,
        fallbackReportText(51, "modStartup", "Main",
                           "Internal error: unexpected std::out_of_range (vector index 7)", 0));
}

TEST_F(TrapTest, FailuresOnTheErrorPathStillEndTheProcessWithoutASecondReport) {
    // The report itself raises (as a failing error library would).
    boxes.whileShown = [] { raiseError(vberr::kObjectDoesntSupportMember); };
    EXPECT_EQ(endCodeOf([] { GetConfigValue("a"); }), 1);
    EXPECT_EQ(boxes.shown().size(), 1U);

    // A trapped procedure that fails while the report is being made.
    boxes.whileShown = [] { GetConfigValue("nested"); };
    EXPECT_EQ(endCodeOf([] { GetConfigValue("b"); }), 1);
    EXPECT_EQ(boxes.shown().size(), 2U);
    EXPECT_FALSE(reportInProgress());
}

}  // namespace
}  // namespace kx::crash
