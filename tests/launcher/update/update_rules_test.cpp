// The decision rules of the install run: version numbers, the update test, where a row's file
// goes, whether a start checks for updates at all, and when an install group counts as current.

#include <unistd.h>

#include <gtest/gtest.h>

#include <cmath>

#include "launcher/startup/launcher_state.h"
#include "launcher/update/cache_refresh.h"
#include "launcher/update/file_versions.h"
#include "launcher/update/install_messages.h"
#include "launcher/update/install_row.h"
#include "launcher/update/update_decision.h"
#include "platform/runtime/message_box.h"
#include "tests/support/child_process.h"
#include "tests/support/raised_error.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/temp_dir.h"

namespace kx::launcher {
namespace {

TEST(FormatVersion, WorkedValues) {
    const std::pair<const char*, double> cases[] = {
        {"6.0.8169.0", 6000081690000},
        {"1.2.3.4", 1000200030004},
        {" 1, 2, 3, 4 ", 1000200030004},
        {"12.34.5678.9012", 12003456789012},
        {"1.5", 1000000000005},
        {"1.5.2", 1000500000000},
        {"1..3.4", 1000000030004},
        {"6.1.17514.0", 60001175140000},
        {"5", 5},
        {"", 0},
        {"   ", 0},
        {"1.a.3.4", 0},
        {"100.0.0.0", 100000000000000},
        {"2.65535.65535.65535", 2655356553565535},
    };
    for (const auto& [text, number] : cases) {
        EXPECT_EQ(FormatVersion(text), number) << text;
        // The install run compares only texts that read: "1.a.3.4" gives 0 but is no version.
        EXPECT_EQ(isReadableVersion(text), std::string(text) != "1.a.3.4") << text;
    }
    EXPECT_GT(FormatVersion("6.1.17514.0"), FormatVersion("6.2.0.0"));
}

TEST(FormatVersion, PartsBeyondAVersionResourceAndNonNumbersAreRunTimeErrors) {
    for (const auto& [text, number] :
         {std::pair{"1.65536.0.0", vberr::kOverflow}, std::pair{"abc", vberr::kTypeMismatch}}) {
        std::string version = text;
        VersionParts parts;
        EXPECT_EQ(test::raisedError([&] { versionNumberOf(version, parts); }).number(), number);
        EXPECT_FALSE(isReadableVersion(text));
    }
    resetLauncherState();
    EXPECT_FALSE(DoesFileNeedUpdate("2.0.0.0", "2,0,0,0"));
    EXPECT_TRUE(DoesFileNeedUpdate("", "1"));
    Module1().m_SkipUpdateCheck = true;
    EXPECT_FALSE(DoesFileNeedUpdate("", "1"));
}

TEST(GetFileVersion, EmbeddedVersionElseSideFileElseEmpty) {
    test::TempDir dir;
    test::writeFile(dir / "data.bin.ver", "2. 1 .0.3\r\nignored\r\n");
    test::writeFile(dir / "empty.bin.ver", "");
    EXPECT_EQ(GetFileVersion((dir / "data.bin").string()), "2.1.0.3") << "no data file needed";
    EXPECT_EQ(GetFileVersion((dir / "empty.bin").string()), "") << "counts as outdated";
    EXPECT_EQ(GetFileVersion(std::string(KX_BIN_DIR) + "/libkxdemocomponent.so"), "1.0.0.0");
    std::int32_t low = 0;
    std::int32_t high = 0;
    GetHILOWord(static_cast<std::int32_t>(0xFFFE0003u), low, high);
    EXPECT_EQ(low, 3);
    EXPECT_EQ(high, 65534);
}

TEST(CacheRefresh, DeletesBothCacheFoldersAndKeptDownloadsOnlyAfterConfirmation) {
    const test::TempDir dir;
    resetLauncherState();
    Module1().KestrixDir = dir.str();
    Module1().TempDir = dir.str() + "/Temp";
    test::writeFile(dir / "BROKER" / "a" / "f", "x");
    test::writeFile(dir / "CLIENT" / "f", "x");
    test::writeFile(dir / "Temp" / "f.0123456789abcdef.kxpart", "x");
    test::writeFile(dir / "Temp" / "f.0123456789abcdef.kxpart.rec", "x");
    test::writeFile(dir / "Temp" / "f", "a download of this run");
    test::ScriptedMessageBoxes boxes;
    boxes.answerNext(vbmsg::kCancel);
    cmdRefresh_Click();
    EXPECT_TRUE(std::filesystem::exists(dir / "CLIENT")) << "Cancel deletes nothing";
    cmdRefresh_Click();
    using Box = test::ScriptedMessageBoxes::Box;
    const Box question{kRefreshQuestion, vbmsg::kOKCancel, ""};
    EXPECT_EQ(boxes.shown(),
              (std::vector<Box>{question, question, {kRefreshDone, vbmsg::kOKOnly, ""}}));
    EXPECT_FALSE(std::filesystem::exists(dir / "BROKER") ||
                 std::filesystem::exists(dir / "CLIENT"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "Temp"), {}), 1);
    EXPECT_TRUE(KillFolder(dir.str() + "/missing/"));
}

TEST(CacheRefresh, ReadOnlyFoldersOfTheUserAreDeletedToo) {
    const test::ChildResult child = test::runInChild([] {
        // Root may delete anything: the refresh runs as "nobody".
        ASSERT_TRUE(::geteuid() != 0 || (::setgid(65534) == 0 && ::setuid(65534) == 0));
        const test::TempDir dir;
        test::writeFile(dir / "BROKER" / "sub" / "f", "x");
        std::filesystem::permissions(dir / "BROKER" / "sub", std::filesystem::perms(0500));
        test::emit(KillFolder(dir.str() + "/BROKER") ? "deleted" : "left");
    });
    EXPECT_EQ(child.output, "deleted");
}

TEST(TargetFolder, TokensInUpperCaseExactlyAndFontsMarked) {
    Module1State s;
    s.KestrixDir = "/k";
    s.CommonDir = "/c";
    s.SystemDir = "/s";
    s.FontsDir = "/w/Fonts";
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"KestrixDir", "/k", false},    {"commondir", "/c", false}, {"SYSTEMDIR", "/s", false},
        {"FontsDir", "/w/Fonts", true}, {" KESTRIXDIR", "", false}, {"ELSEWHERE", "", false},
    };
    for (const auto& [token, folder, font] : cases) {
        const TargetFolder target = targetFolderOf(token, s);
        EXPECT_EQ(target.folder, folder) << token;
        EXPECT_EQ(target.isFont, font) << token;
    }
    EXPECT_EQ(expandAltCheckTokens("<SYSTEMDIR>/a<SYSTEMDIR>", s), "/s/a/s");
}

// A machine of its own: the setting in upper case but not trimmed checks or skips, anything else
// asks. The shared machine's branches are driven by install_decisions_test.cpp.
TEST(UpdateDecision, OwnMachineFollowsTheSettingOrAsks) {
    struct Case {
        const char* setting;
        std::int32_t answer;  // to the question, if one is asked
        std::int32_t decision;
        bool asked;
    };
    const Case cases[] = {
        {"Y", vbmsg::kNo, vbmsg::kYes, false}, {"y", vbmsg::kNo, vbmsg::kYes, false},
        {"n", vbmsg::kYes, vbmsg::kNo, false}, {" Y", vbmsg::kYes, vbmsg::kYes, true},
        {"", vbmsg::kNo, vbmsg::kNo, true},    {"YES", vbmsg::kCancel, vbmsg::kNo, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setting);
        resetLauncherState();
        test::ScriptedMessageBoxes boxes;
        boxes.answerNext(c.answer);
        decideUpdateCheck(c.setting);
        EXPECT_EQ(Module1().retCheckForUpdates, c.decision);
        EXPECT_FALSE(Module1().mCountUpdates);
        using Boxes = std::vector<test::ScriptedMessageBoxes::Box>;
        const Boxes expected =
            c.asked ? Boxes{{kCheckForUpdatesQuestion, vbmsg::kYesNo, ""}} : Boxes{};
        EXPECT_EQ(boxes.shown(), expected);
    }
}

TEST(UpdateDecision, AGroupIsCurrentWhileBothStampsAreDatesAndTheServersIsNoLater) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"2024-03-01 08:00:00", "2024-03-01 08:00:00", true},
        {"2024-03-01 08:00:00", "2024-04-01", true},
        {"2024-04-01 08:00:00", "2024-03-01 08:00:00", false},
        {"2024-03-01", "not a date", false},
        {"", "2024-03-01", false}};
    for (const auto& [server, client, current] : cases) {
        EXPECT_EQ(stampsSayCurrent(server, client), current) << server << " / " << client;
    }
}

TEST(InstallTexts, CountsAreGroupedAndSingularOnlyForOne) {
    const std::pair<std::string, std::string> cases[] = {
        {updatesFoundCaption(1), "1 update found..."},
        {updatesFoundCaption(1234), "1,234 updates found..."},
        {updateSummary("[Broker]", 1), "[Broker]\r\r1 file was updated."},
        {updateSummary("[Broker]", 2), "[Broker]\r\r2 files were updated."},
        {updateWarning(1, "W"),
         "WARNING: You are not using the latest version of this application.  There are 1 file "
         "needing an update on this machine/server."},
        {updateWarning(1234, "A"),
         "WARNING: You are not using the latest version of this application.  There are 1,234 "
         "files needing an update on this machine/server.\r\rPlease notify your System "
         "Administrator."},
        {bytesCaption(12 * 1024 + 512, 40 * 1024 + 513), "12k of 41k"}};
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(text, expected);
    }
}

}  // namespace
}  // namespace kx::launcher
