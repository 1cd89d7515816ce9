// Failures of the whole launcher reported through the real error library: registered by
// regsvr32, reached by its ProgID, its dialog answered by the user (dialog_watch.h), its report
// stored by kxserver.

#include <gtest/gtest.h>

#include <filesystem>

#include "child_process.h"
#include "kxserver_harness.h"
#include "launcher_test_setup.h"
#include "report_server.h"
#include "scoped_environment.h"

namespace kx::launcher {
namespace {

namespace fs = std::filesystem;

class LauncherErrorReport : public ::testing::Test {
  protected:
    LauncherErrorReport() {
        environment.clearProxyVariables();
        environment.set("KX_ERROR_REPORT_URL", server.reportUrl());
        environment.set("QT_QPA_PLATFORM", "offscreen");
        for (const char* machineFolder : {"KX_SYSTEM_DIR", "KX_WINDOWS_DIR", "KX_COMMON_FILES_DIR",
                                          "KX_TOKEN_DIR", "XDG_DATA_HOME", "TMPDIR"}) {
            environment.set(machineFolder, (root / machineFolder).string());
        }
        fs::create_directories(root / "program");
        fs::copy_file(fs::path(KX_BIN_DIR) / "driven_launcher", program);
        EXPECT_EQ(test::runProcess(KX_BIN_DIR "/regsvr32", {"/s", KX_BIN_DIR "/ZNErrHandler.so"},
                                   root.path())
                      .exitCode,
                  0);
        test::writeLauncherConfig(
            root / "program" / "KXVantorConfig.XML",
            {{"BaseURL",
              "http://127.0.0.1:" + std::to_string(test::unusedLoopbackPort()) + "/kxbo"}});
    }

    // The watcher's line ("error text|status") and the one stored report, after an end with 1.
    std::pair<std::string, nlohmann::ordered_json> run(const std::string& act) {
        const test::ProcessResult result = test::runProcess(program.string(), {act}, root.path());
        EXPECT_EQ(result.exitCode, 1) << result.err;
        const auto reports = server.reports();
        EXPECT_EQ(reports.size(), ++reportsSoFar);
        return {result.out, reports.empty() ? nlohmann::ordered_json() : reports.back()};
    }

    test::TempDir root;
    test::ScopedRegistry registry;
    test::ScopedEnvironment environment;
    test::ReportServer server;
    fs::path program = root / "program" / "driven_launcher";
    std::size_t reportsSoFar = 0;
};

TEST_F(LauncherErrorReport, AServerOutOfReachShowsTheDialogAndReportsTheMaskedDump) {
    const auto [shown, report] = run("login");
    EXPECT_NE(shown.find("cannot be reached"), std::string::npos) << shown;
    EXPECT_TRUE(shown.ends_with("|Transfer of data complete.\n")) << shown;
    EXPECT_EQ(report.at("ProjectName"), "KXVantor");
    EXPECT_EQ(report.at("Module"), "frmLogin");
    EXPECT_EQ(report.at("Routine"), "cmdLogin_Click");
    const std::string context = report.at("Context");
    EXPECT_NE(context.find("<mLogin>DEMO</mLogin>\r\n<mPass**********"), std::string::npos)
        << context;
    EXPECT_EQ(context.find("Secret-Pass"), std::string::npos);
}

TEST_F(LauncherErrorReport, HardwareFaultsInsideAndOutsideProceduresAreReportedAlike) {
    auto [shown, report] = run("fault-in-procedure");
    EXPECT_EQ(shown, "Integer Divide By Zero|Transfer of data complete.\n");
    EXPECT_EQ(report.at("Module"), "Module1");
    EXPECT_EQ(report.at("Routine"), "GetHILOWord");
    EXPECT_EQ(report.at("ErrorNumber"), "10132");

    std::tie(shown, report) = run("fault-outside");
    EXPECT_EQ(shown, "Access Violation|Transfer of data complete.\n");
    EXPECT_EQ(report.at("Module"), "");
    EXPECT_EQ(report.at("Routine"), "");
    EXPECT_EQ(report.at("LineNumber"), "0");
    EXPECT_EQ(report.at("ErrorNumber"), "10005");
    const std::string context = report.at("Context");
    EXPECT_TRUE(context.starts_with("<Variables>\r\n<LocalVariables>\r\n{None}</LocalVariables>"))
        << context;
}

}  // namespace
}  // namespace kx::launcher
