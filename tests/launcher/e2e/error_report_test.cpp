// Failures of the whole launcher reported through the real error library: registered by
// regsvr32, reached by its ProgID, its dialog answered by the user (error_report_support.h, in
// driven_launcher), its report stored by kxserver; and the reports it could not deliver, sent by
// the launcher's next starts.

#include <signal.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <tuple>

#include "errhandler/http/url_encode.h"
#include "errhandler/report/report_spool.h"
#include "tests/launcher/e2e/blocked_termination.h"
#include "tests/launcher/login/launcher_test_setup.h"
#include "tests/support/child_process.h"
#include "tests/support/kxserver_harness.h"
#include "tests/support/scoped_environment.h"

namespace kx::launcher {
namespace {

namespace fs = std::filesystem;

class LauncherErrorReport : public ::testing::Test {
  protected:
    LauncherErrorReport() {
        environment.clearProxyVariables();
        environment.set("KX_ERROR_REPORT_URL", server.reportUrl());
        environment.set("QT_QPA_PLATFORM", "offscreen");
        for (const char* folder : {"KX_SYSTEM_DIR", "KX_WINDOWS_DIR", "KX_COMMON_FILES_DIR",
                                   "KX_TOKEN_DIR", "XDG_DATA_HOME", "XDG_STATE_HOME", "TMPDIR"}) {
            environment.set(folder, (setup.dataFolder() / folder).string());
        }
        fs::copy_file(KX_BIN_DIR "/driven_launcher", program);
        test::runProcess(KX_BIN_DIR "/regsvr32", {"/s", KX_BIN_DIR "/ZNErrHandler.so"},
                         setup.dataFolder());
        fs::current_path(setup.dataFolder());  // the launcher's working folder, for the log
        setup.configure({{"BaseURL", "http://127.0.0.1:" +
                                         std::to_string(test::unusedLoopbackPort()) + "/kxbo"}});
    }

    // Runs the launcher with `act`, expecting an end with 1 and one report stored; returns
    // what the user saw ("error text|status"), the launcher's standard error and the report.
    std::tuple<std::string, std::string, nlohmann::ordered_json> run(const std::string& act) {
        const auto result = test::runProcess(program.string(), {act}, setup.dataFolder());
        EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
        const auto reports = server.reports();
        EXPECT_EQ(reports.size(), 1u);
        return {result.out, result.err, reports.empty() ? nullptr : reports.back()};
    }

    ~LauncherErrorReport() override { fs::current_path(testFolder); }

    // Waits until `done` holds, at most 30 s; whether it does.
    static bool waitUntil(const std::function<bool()>& done) {
        const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!done() && std::chrono::steady_clock::now() < bound) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return done();
    }
    // Starts the launcher with `act`; its output goes to a file named after the act.
    pid_t start(const std::string& act) {
        const fs::path output = setup.dataFolder() / (act + ".out");
        const test::BlockedTermination blocked;
        return test::startProcess({program.string(), act}, output, output);
    }
    // The reports waiting in the launcher's spool, oldest first.
    std::vector<errhandler::SpoolEntry> spooled() {
        return spool.prunedEntries(errhandler::secondsNow());
    }
    // Every waiting report marked as tried a minute ago: the next start finds them due.
    void ageSpool() {
        for (const auto& entry : spooled()) {
            spool.lock(entry).value().keep(errhandler::secondsNow() - 60);
        }
    }
    // Starts `count` launchers at once that only show their window, waits (bounded) until the
    // spool is empty, then ends them as the session's end does.
    void startIdleUntilSpoolIsEmpty(int count = 1) {
        std::vector<pid_t> launchers;
        for (int i = 0; i < count; ++i) {
            launchers.push_back(start("idle"));
        }
        EXPECT_TRUE(waitUntil([&] { return spooled().empty(); }));
        for (const pid_t launcher : launchers) {
            // One launcher may empty the spool while another is still starting: it was started
            // with SIGTERM blocked, and takes it as the session's end once it can.
            ::kill(launcher, SIGTERM);
            EXPECT_EQ(test::exitCodeOf(launcher), 0)
                << test::readFile(setup.dataFolder() / "idle.out");
        }
    }

    fs::path testFolder = fs::current_path();
    test::LauncherTestSetup setup;
    test::ScopedEnvironment environment;
    test::ReportServer server;
    fs::path program = setup.programFolder() / "driven_launcher";
    errhandler::ReportSpool spool{
        (setup.dataFolder() / "XDG_STATE_HOME/Kestrix/ZNErrHandler/reports").string()};
};

// The user's end asked for by SIGTERM while the dialog waits ends the launcher once the report is
// sent; Close ends it in the other tests.
TEST_F(LauncherErrorReport, AServerOutOfReachShowsTheDialogAndReportsTheMaskedDumpBeforeSigterm) {
    const auto [shown, told, report] = run("login");
    EXPECT_TRUE(shown.starts_with("The server at http://127.0.0.1:")) << shown;
    EXPECT_TRUE(shown.ends_with("|Transfer of data complete.\n")) << shown;
    EXPECT_NE(told.find("KXVantor: asked to end (SIGTERM) while an error was being reported"),
              std::string::npos)
        << told;
    std::string names;
    for (const auto& field : report.items()) {
        names += field.key() + " ";
    }
    EXPECT_EQ(names,
              "ProjectName ProjectVersion Module Routine LineNumber ErrorNumber ErrorDescription "
              "Context Token AppPath AppName ParentProcess ReportId ");
    EXPECT_EQ(report.at("Module").get<std::string>() + report.at("Routine").get<std::string>(),
              "frmLogincmdLogin_Click");
    EXPECT_EQ(report.at("ErrorDescription"), shown.substr(0, shown.find('|')));
    EXPECT_EQ(report.at("AppName"), "ZNErrHandler");
    const std::string context = report.at("Context");
    EXPECT_NE(context.find("<mLogin>DEMO</mLogin>\r\n<mPass**********"), std::string::npos);
    EXPECT_EQ(context.find("Secret-Pass"), std::string::npos) << context;
}

// A report not delivered (the server out of reach; a server that stores it and drops the
// connection before answering; the launcher killed during the post) waits in the spool; the next
// start sends it, and it is stored once. Two launchers starting at once post each report once.
TEST_F(LauncherErrorReport, AReportNotDeliveredIsSentOnceByALaterStart) {
    test::RefusingPort closed;
    test::RecordingRelay dropping;
    dropping.forwardTo(server.reportUrl().substr(0, server.reportUrl().rfind('/')));
    dropping.dropAnswers();
    test::LoopbackHttpServer silent(test::noAnswer());
    std::vector<std::string> ids;
    const std::string path = "/GenErrorReport.asp";
    for (const std::string& first : {closed.url(path), dropping.url() + path, silent.url(path)}) {
        environment.set("KX_ERROR_REPORT_URL", first);
        const pid_t launcher = start("login");
        const bool killed = first == silent.url(path);
        if (killed && waitUntil([&] { return !silent.requests().empty(); })) {
            ::kill(launcher, SIGKILL);
        }
        EXPECT_EQ(test::exitCodeOf(launcher), killed ? 128 + SIGKILL : 1);
        ASSERT_EQ(spooled().size(), 1u) << first;
        ids.push_back(spooled().front().identity.id);
        // Only the server behind the dropping relay has the report before it is sent again.
        EXPECT_EQ(server.reports().size(), ids.size() - (first == dropping.url() + path ? 0 : 1));
        environment.set("KX_ERROR_REPORT_URL", server.reportUrl());
        ageSpool();
        startIdleUntilSpoolIsEmpty();
    }
    const auto reports = server.reports();
    EXPECT_EQ(dropping.requests().size(), 1u);
    ASSERT_EQ(reports.size(), 3u);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        EXPECT_EQ(reports[i].at("ReportId"), ids[i]);
    }

    for (int i = 0; i < 6; ++i) {
        const auto identity = errhandler::ReportIdentity::fresh();
        spool.add(identity, "R=&ReportId=" + errhandler::URLEncode(identity.id),
                  identity.createdAt);
    }
    test::RecordingRelay relay;
    relay.forwardTo(server.reportUrl().substr(0, server.reportUrl().rfind('/')));
    environment.set("KX_ERROR_REPORT_URL", relay.url() + path);
    ageSpool();
    startIdleUntilSpoolIsEmpty(2);
    EXPECT_EQ(relay.requests().size(), 6u);
    EXPECT_EQ(server.reports().size(), 9u);
}

// Failures that no procedure's trap takes. A fault outside every procedure is reported by the
// launcher itself, with its context's sections empty (a fault inside a procedure takes the same
// path; its number and description are proved by the exception filter's own tests). Crashes are
// reported by a process that replaces the crashed launcher and names the crashed thread and the
// function that crashed; in fault-on-thread two threads fault at once, and still one report is
// made.
struct Crash {
    const char* act;
    const char* errorNumber;
    const char* description;
    const char* routine;
    const char* contextStart;
    const char* inContext;
};

void PrintTo(const Crash& crash, std::ostream* out) {
    *out << crash.act;
}

class LauncherCrashReport : public LauncherErrorReport,
                            public ::testing::WithParamInterface<Crash> {};

TEST_P(LauncherCrashReport, IsReportedOnceWithItsContext) {
    const Crash crash = GetParam();
    const auto [shown, told, report] = run(crash.act);
    EXPECT_EQ(shown, std::string(crash.description) + "|Transfer of data complete.\n") << told;
    EXPECT_EQ(report.value("ErrorNumber", ""), crash.errorNumber);
    EXPECT_EQ(report.value("Routine", ""), crash.routine);
    EXPECT_EQ(report.value("ProjectName", ""), "KXVantor");
    const std::string context = report.value("Context", "");
    EXPECT_TRUE(context.starts_with(crash.contextStart)) << context;
    EXPECT_NE(context.find(crash.inContext), std::string::npos) << context;
}

INSTANTIATE_TEST_SUITE_P(
    Crashes, LauncherCrashReport,
    ::testing::Values(Crash{"fault-outside", "10005", "Access Violation", "",
                            "<Variables>\r\n<LocalVariables>\r\n{None}</LocalVariables>",
                            "<qtrErrorNumber>10005</qtrErrorNumber>"},
                      Crash{"abort-in-procedure", "13000", "abort", "AbortInProcedure",
                            "<Crash>\r\n<Thread>driven_launcher</Thread>", "abortInProcedure"},
                      Crash{"fault-on-thread", "10005", "Access Violation", "",
                            "<Crash>\r\n<Thread>kx-segv</Thread>", "writeThroughNull"},
                      Crash{"overflow-on-thread", "10237", "Stack Overflow", "",
                            "<Crash>\r\n<Thread>kx-deep</Thread>", "recurseWithoutEnd"},
                      Crash{"throw-in-event", "13001",
                            "Uncaught exception std::runtime_error: the event handler failed", "",
                            "<Crash>\r\n<Thread>driven_launcher</Thread>",
                            "onTimerThatMustNotThrow"}),
    [](const ::testing::TestParamInfo<Crash>& crash) {
        std::string name = crash.param.act;
        std::erase(name, '-');
        return name;
    });

// A fault in the reporting process ends it with one note; a signal sent by another process ends
// the launcher by that signal. Neither reports.
TEST_F(LauncherErrorReport, AFaultWhileReportingAndASignalFromOutsideEndWithoutAReport) {
    const auto inReport =
        test::runProcess(program.string(), {"fault-in-report"}, setup.dataFolder());
    EXPECT_EQ(inReport.exitCode, 1);
    const std::string note = "a fault while a crash was being reported; ending the process";
    const std::size_t first = inReport.err.find(note);
    EXPECT_NE(first, std::string::npos) << inReport.err;
    EXPECT_EQ(inReport.err.find(note, first + 1), std::string::npos) << inReport.err;

    const auto killed =
        test::runProcess(program.string(), {"killed-from-outside"}, setup.dataFolder());
    EXPECT_EQ(killed.exitCode, 128 + SIGSEGV) << killed.err;
    EXPECT_TRUE(server.reports().empty());
}

}  // namespace
}  // namespace kx::launcher
