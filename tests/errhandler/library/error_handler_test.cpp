// ErrorHandler of the class Error: the thread's error record, its ID, the log in the working
// folder, and the masked report that kxserver stores. The dialog is the presenter's business; here
// it is run afterwards on the record ErrorHandler left.

#include "error_class.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>
#include <thread>

#include "dialog_run.h"
#include "error_log.h"
#include "report_server.h"
#include "report_texts.h"
#include "scoped_environment.h"
#include "temp_dir.h"

namespace kx::errhandler {
namespace {

TEST(ErrorHandler, LogsEachCallRecordsItAndReportsItMasked) {
    test::TempDir folder;
    test::ScopedEnvironment environment;
    environment.clearProxyVariables();
    environment.set("KX_TOKEN_DIR", folder.str());
    test::writeFile(folder / "LastTickToken.tmp", "0123456789abcdefghijklmnopqrstuvwxyzABCD\r\n");
    const std::string previousFolder = std::filesystem::current_path();
    std::filesystem::current_path(folder.path());

    std::vector<std::string> shown;
    Error error([&](const std::string& description) { shown.push_back(description); });
    std::string idOfAnotherThread;
    std::thread([&] { idOfAnotherThread = error.ID(); }).join();
    EXPECT_EQ(idOfAnotherThread, "_____");

    std::vector<Variant> empty(8, Variant(""));
    empty[0] = empty[5] = Variant(std::int32_t{0});
    error.invoke("ErrorHandler", InvokeKind::Method, empty);
    error.ErrorHandler(5, "P", "M", "R", "Oops <mPassword>", 10,
                       "<mPassword>secret</mPassword>\r\n", "1.2");
    EXPECT_EQ(shown, (std::vector<std::string>{"", "Oops <mPassword>"}));
    EXPECT_EQ(error.ID(), "P_1.2_M_R_10_5");
    EXPECT_EQ(error.get("Action").asString(), "");

    const std::string log = test::readFile(folder / kErrorLogFileName);
    const std::string facts =
        "\r\nAppPath=\\[" + errorRecord().AppPath +
        "\\]\r\nAppEXEName=\\[errhandler_library_tests\\]\r\nParentProcess=\\[" +
        errorRecord().AppPath + "/errhandler_library_tests\\]\r\n";
    const std::string date = R"(\d{1,2}/\d{1,2}/\d{4}( \d{1,2}:\d\d:\d\d [AP]M)?)";
    EXPECT_TRUE(std::regex_match(log, std::regex(date + "     0 0  " + facts + date +
                                                 " P 1.2 M R 10 5 Oops <mPassword> "
                                                 "<mPass\\*{10}>\r\n" +
                                                 facts)))
        << log;

    const test::ReportServer server;
    const Outcome outcome = runDialog(server.reportUrl(), ReportSources{}, errorRecord());
    EXPECT_EQ(outcome.status, kStatusDelivered);
    const auto reports = server.reports();
    ASSERT_EQ(reports.size(), 1u);
    const nlohmann::ordered_json expectedStart = {{"ProjectName", "P"},
                                                  {"ProjectVersion", "1.2"},
                                                  {"Module", "M"},
                                                  {"Routine", "R"},
                                                  {"LineNumber", "10"},
                                                  {"ErrorNumber", "5"},
                                                  {"ErrorDescription", "Oops <mPassword>"}};
    for (const auto& [name, value] : expectedStart.items()) {
        EXPECT_EQ(reports[0].at(name), value) << name;
    }
    const std::string context = reports[0].at("Context");
    EXPECT_TRUE(
        context.starts_with("<mPass**********>\r\n\r\n\r\nError Handler Version = "
                            "300.1004.12\r\nAvailable Page File = "))
        << context;
    EXPECT_EQ(reports[0].at("Token"), "0123456789abcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(reports[0].at("AppName"), "errhandler_library_tests");
    std::filesystem::current_path(previousFolder);
}

}  // namespace
}  // namespace kx::errhandler
