// What the install run decides row by row: counting and its warnings, the update summary, an
// empty list, the skipped check, where the local version comes from (AltCheck, an existing font),
// an installer that asks for a restart, and a start that fails three times.

#include <gtest/gtest.h>

#include "launcher/crash/crash_support.h"
#include "launcher/startup/launcher_state.h"
#include "launcher/update/install_messages.h"
#include "tests/launcher/flows/install_run_fixture.h"

namespace kx::test {
namespace {

namespace fs = std::filesystem;
using launcher::Control;
using launcher::Module1;

class InstallDecisionsTest : public InstallRunTest {
  protected:
    // `count` outdated files, and a start row for an application installed already that
    // records its start.
    void publishOutdated(int count) {
        std::map<std::string, std::string> files;
        for (int i = 0; i < count; ++i) {
            files["file" + std::to_string(i) + ".txt"] = "x";
        }
        publish(files, {"--version", "2.0", "--sequence", "100"});
        const fs::path app = setup_.programFolder() / "app.sh";
        writeFile(app, recordingScript(serverDir_ / "app-started"));
        fs::permissions(app, fs::perms::owner_exec, fs::perm_options::add);
        addStartRow("app.sh");
    }
};

struct CountingCase {
    int outdated;
    bool updateAdmin;
    std::string warnSetting;
    std::string caption;  // frameStatus when the notice shows
    std::string notice;   // the box at the start row, "" for none

    // Names the case in test listings (the default prints the object's bytes, addresses included).
    friend void PrintTo(const CountingCase& c, std::ostream* out) {
        *out << c.outdated << " outdated, " << (c.updateAdmin ? "update admin" : "other user")
             << ", WarnIfUpdates=" << c.warnSetting;
    }
};

class CountingTest : public InstallDecisionsTest,
                     public ::testing::WithParamInterface<CountingCase> {};

TEST_P(CountingTest, SharedMachineCountsOrInstallsAndTellsAtTheStartRow) {
    const CountingCase& c = GetParam();
    deployment_.checkForUpdates = "N";  // overruled either way on a shared machine
    publishOutdated(c.outdated);
    std::vector<std::string> captions;  // the status caption under each box
    boxes_.whileShown = [&] { captions.push_back(view_.text(Control::frameStatus)); };
    const int ended = run({{"SharedEnvironment", "True"},
                           {"UPDATEADMINLOGIN", c.updateAdmin ? "ALICE" : "BOB"},
                           {"WarnIfUpdates", c.warnSetting}});
    ASSERT_EQ(ended, -1);
    ASSERT_EQ(captions.size(), c.notice.empty() ? 0U : 1U);
    if (!c.notice.empty()) {
        EXPECT_EQ(shownPrompt(0) + "|" + captions[0], c.notice + "|" + c.caption);
    }
    EXPECT_EQ(Module1().mNumUpdates, c.outdated);
    EXPECT_EQ(fs::exists(Module1().KestrixDir + "/file0.txt"), c.updateAdmin);
    EXPECT_EQ(fs::exists(stampFile()), c.updateAdmin) << "counting writes no stamp";
    EXPECT_EQ(view_.text(Control::frameStatus), "") << "the end of the list clears the count";
    EXPECT_FALSE(awaitRecord(serverDir_ / "app-started").starts_with("<no record"));
}

// One run per branch of the start row's notice; the texts are update_rules_test.cpp's.
INSTANTIATE_TEST_SUITE_P(
    Cases, CountingTest,
    ::testing::Values(CountingCase{1, false, "W", launcher::updatesFoundCaption(1),
                                   launcher::updateWarning(1, "W")},
                      CountingCase{2, false, "A", launcher::updatesFoundCaption(2),
                                   launcher::updateWarning(2, "A")},
                      CountingCase{1, false, "w", "", ""},
                      CountingCase{2, true, "W", "Downloading and Installing: file1.txt",
                                   launcher::updateSummary("[Broker]", 2)}));

TEST_F(InstallDecisionsTest, EmptyListCompletesAndClosesTheWindow) {
    deployment_.group = 0;
    ASSERT_EQ(run(), -1);
    EXPECT_EQ(view_.text(Control::lblMessage), "[Broker] - initialization complete");
    EXPECT_TRUE(view_.isUnloaded());
    EXPECT_TRUE(boxes_.shown().empty());
}

TEST_F(InstallDecisionsTest, SkippedCheckWalksOnlyRowsOfTypeZeroAndStillStarts) {
    deployment_.checkForUpdates = "N";
    publishOutdated(1);
    ASSERT_EQ(run(), -1);
    EXPECT_FALSE(fs::exists(Module1().KestrixDir + "/file0.txt"));
    EXPECT_FALSE(awaitRecord(serverDir_ / "app-started").starts_with("<no record"));
    EXPECT_FALSE(fs::exists(stampFile()));
}

TEST_F(InstallDecisionsTest, LocalVersionComesFromAltCheckOrAnExistingFont) {
    publish({{"file-current.txt", "f"}},
            {"--version", "2.0", "--alt-check", "<SYSTEMDIR>/probe.dll"});
    publish({{"Kept.ttf", "new font"}}, {"--version", "9.0", "--location", "FONTSDIR"});
    const fs::path machine = setup_.environment().folders.windowsFolder();
    writeFile(machine / "system" / "probe.dll.ver", "2. 0\r\n");
    writeFile(machine / "Fonts" / "Kept.ttf", "old font");

    ASSERT_EQ(run(), -1) << shownPrompt(0);
    EXPECT_FALSE(fs::exists(Module1().KestrixDir + "/file-current.txt"));
    EXPECT_EQ(readFile(machine / "Fonts" / "Kept.ttf"), "old font");
}

// A server version that does not read makes its row unusable; a local one counts as none, unless
// the file is the row's. Start rows are never fetched: a file in a sub-folder starts (a plain file
// name is asked only of files to place), and one outside its folder is reported.
TEST_F(InstallDecisionsTest, UnreadableVersionsAndStartRowsNeverFetched) {
    const fs::path kestrix = setup_.programFolder();
    publish({{"rc.txt", "rc"}}, {"--version", "1.2.3-rc1"});
    publish({{"junk.txt", "new"}, {"same.txt", "same"}}, {"--version", "2.0"});
    writeFile(kestrix / "junk.txt.ver", "unknown\n");
    writeFile(kestrix / "same.txt", "same");
    writeFile(kestrix / "same.txt.ver", "1.2.3.65536\n");
    const auto sameWritten = fs::last_write_time(kestrix / "same.txt");
    writeFile(kestrix / "bin" / "app.sh", recordingScript(serverDir_ / "app-started"));
    fs::permissions(kestrix / "bin" / "app.sh", fs::perms::owner_exec, fs::perm_options::add);
    addStartRow("bin/app.sh");
    addStartRow("..");
    ASSERT_EQ(run(), -1);
    EXPECT_EQ(readFile(kestrix / "junk.txt"), "new");
    EXPECT_EQ(fs::last_write_time(kestrix / "same.txt"), sameWritten) << "fetched again";
    EXPECT_FALSE(awaitRecord(serverDir_ / "app-started").starts_with("<no record"));
    EXPECT_TRUE(shownPrompt(0).ends_with("/InstallFiles/1/rc.txt")) << shownPrompt(0);
    EXPECT_EQ(shownPrompt(1), launcher::kStartErrorPrefix + kestrix.string() + "/..");
}

TEST_F(InstallDecisionsTest, InstallerAskingForRestartMakesTheNextRowShowTheInstallError) {
    publish({{"vbrun60sp6.sh", recordingScript(serverDir_ / "setup", 3010)}},
            {"--install-type", "4", "--location", "TEMPDIR", "--version", "1.0"});
    publishOutdated(0);
    ASSERT_EQ(run(), -1);
    EXPECT_EQ(boxes_.shown(),
              (std::vector<ScriptedMessageBoxes::Box>{
                  {std::string(launcher::kInstallErrorOwnMachine) + launcher::kWillNowClose,
                   vbmsg::kOKOnly, launcher::kInstallErrorTitle}}));
    EXPECT_TRUE(view_.isUnloaded());
    EXPECT_FALSE(fs::exists(serverDir_ / "app-started")) << "the application is not started";
    EXPECT_FALSE(fs::exists(stampFile()));
}

TEST_F(InstallDecisionsTest, StartRowOfAnUnknownFolderFailsThreeTimesAndEndsTheLauncher) {
    publish({{"current.txt", ""}}, {"--version", "0"});
    addStartRow("no-such-app", "NOWHERE");
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(Module1().FileToWrite, "/no-such-app");
    const auto& crash = crash::modCrashSupport();
    EXPECT_EQ(crash.qtrErrorNumber, 2);
    EXPECT_EQ(crash.qtrErrorSource, "KXVantor");
    EXPECT_EQ(crash.qtrErrorDescription,
              "Attempt 1 - ShellExecute() Returned Code 2 : File Not Found\r"
              "Attempt 2 - ShellExecute(runas) Returned Code 2 : File Not Found\r"
              "Attempt 3 - ShellExecute(highestAvailable) Returned Code 2 : File Not Found\r");
    EXPECT_NE(shownPrompt(0).find("Procedure: tmrComInstall_Timer"), std::string::npos);
    EXPECT_FALSE(fs::exists(stampFile()));
}

}  // namespace
}  // namespace kx::test
