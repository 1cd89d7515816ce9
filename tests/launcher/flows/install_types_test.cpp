// The install run against a real kxserver: every install type put into effect, the shapes of
// the list (empty, without a start row, rows after the start row), the version checks (AltCheck,
// fonts, a second start) and the application start.

#include <fontconfig/fontconfig.h>
#include <sys/stat.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "launcher/startup/launcher_state.h"
#include "launcher/update/do_install_routine.h"
#include "launcher/update/install_messages.h"
#include "platform/com/create_object.h"
#include "platform/registry/registry.h"
#include "tests/launcher/flows/install_run_fixture.h"

namespace kx::test {
namespace {

namespace fs = std::filesystem;
using launcher::Control;
using launcher::Module1;

std::string binFile(const std::string& name) {
    return readFile(fs::path(KX_BIN_DIR) / name);
}

fs::perms permissionsOf(const fs::path& file) {
    return fs::status(file).permissions() & fs::perms::all;
}

constexpr fs::perms kProgram = fs::perms(0755);
constexpr fs::perms kData = fs::perms(0644);

class InstallTypesTest : public InstallRunTest {};

TEST_F(InstallTypesTest, EveryInstallTypePutsItsFileIntoEffectAndTheApplicationStarts) {
    const fs::path records = serverDir_ / "records";
    fs::create_directories(records);
    publish({{"regsvr32", binFile("regsvr32")}}, {"--location", "COMMONDIR", "--version", "1.0"});
    publish({{"libkxdemocomponent.so", binFile("libkxdemocomponent.so")}},
            {"--install-type", "1", "--location", "COMMONDIR"});
    publish({{"Data.dat", "data\n"}, {"Data.dat.ver", "1.2.0.0\n"}}, {"--install-type", "5"});
    publish({{"Plain.txt", "plain\n"}, {"tool.sh", "#!/bin/sh\n"}}, {"--version", "1.0"});
    publish({{"Demo.ttf", binFile("KXDemo39.ttf")}}, {"--location", "FONTSDIR", "--version", "1"});
    publish({{"starter.sh", recordingScript(records / "started")}},
            {"--install-type", "3", "--location", "TEMPDIR", "--version", "1.0"});
    publish({{"setup.sh", recordingScript(records / "setup")}},
            {"--install-type", "4", "--location", "TEMPDIR", "--version", "1.0"});
    publish({{"app.sh", recordingScript(records / "app")}}, {"--version", "1.0"});
    addStartRow("app.sh");
    publish({{"zz-after-start.txt", "after\n"}}, {"--version", "1.0"});
    writeFile(setup_.environment().folders.windowsFolder() + "/Fonts/.keep", "");
    registry::HKEY fonts;
    ASSERT_EQ(registry::RegCreateKeyEx(registry::Hive::LocalMachine, launcher::kFontsKeyNt,
                                       registry::kKeyAllAccess, fonts),
              0);

    ASSERT_EQ(run(), -1) << shownPrompt(0);
    const auto& m = Module1();
    const fs::path kestrix = m.KestrixDir;
    const fs::path common = m.CommonDir;
    EXPECT_EQ(readFile(kestrix / "Plain.txt"), "plain\n");
    EXPECT_EQ(permissionsOf(kestrix / "Plain.txt"), kData);
    EXPECT_EQ(permissionsOf(kestrix / "tool.sh"), kProgram);
    EXPECT_EQ(permissionsOf(common / "regsvr32"), kProgram);
    EXPECT_EQ(readFile(kestrix / "Data.dat.ver"), "1.2.0.0\r\n");
    EXPECT_EQ(com::CreateObject("KXDemo.Greeting")->get("Text").asString(),
              "Hello from the registered demo component.");
    EXPECT_EQ(registry::queryString(registry::Hive::LocalMachine, launcher::kFontsKeyNt,
                                    "Kestrix Font Demo.ttf"),
              "Demo.ttf");
    EXPECT_TRUE(fs::exists(m.FontsDir + "/Demo.ttf"));
    EXPECT_EQ(readFile(kestrix / "zz-after-start.txt"), "after\n") << "rows after the start row";
    // Started and installing programs run in the launcher's folder; an installer gets no switches.
    const std::string here = fs::current_path().string() + "\n";
    EXPECT_EQ(awaitRecord(records / "started"), here);
    EXPECT_EQ(readFile(records / "setup"), here) << "the installer was waited for";
    // One argument: the URL with the token inserted, a blank, the token; CommonDir as folder.
    EXPECT_EQ(awaitRecord(records / "app"),
              m.CommonDir + "\n" + m.m_BOServer + " " + m.m_AuthLogin + "\n");
    // Only the started programs stay in the temporary folder.
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(m.TempDir)) {
        left.insert(entry.path().filename().string());
    }
    EXPECT_EQ(left, (std::set<std::string>{"setup.sh", "starter.sh"}));
    EXPECT_EQ(view_.text(Control::lblMessage), "[Broker] - initialization complete");
    EXPECT_TRUE(view_.isUnloaded());
    EXPECT_TRUE(fs::exists(stampFile()));
    EXPECT_TRUE(boxes_.shown().empty()) << shownPrompt(0);
}

// A component counts as installed only once regsvr32 succeeded for it: a failure writes no stamps
// (with them the next start would skip the check) and the next start installs it again, from the
// file already in place rather than downloaded anew. A font with a side file (type 5) is added
// itself.
TEST_F(InstallTypesTest, FailedRegistrationIsRetriedAtTheNextStartAndTypeFiveFontsAreAdded) {
    const std::string calls = (serverDir_ / "regsvr32.calls").string();
    publish({{"regsvr32", "#!/bin/sh\necho >> " + calls + "\nexit $(cat " + calls + ".exit)\n"}},
            {"--location", "COMMONDIR", "--version", "1.0"});
    publish({{"libkxdemocomponent.so", binFile("libkxdemocomponent.so")}},
            {"--install-type", "1", "--location", "COMMONDIR"});
    publish({{"Demo.ttf", binFile("KXDemo39.ttf")}},
            {"--install-type", "5", "--location", "FONTSDIR", "--version", "1"});
    writeFile(setup_.environment().folders.windowsFolder() + "/Fonts/.keep", "");
    for (const char* exitCode : {"5", "0", "0"}) {
        writeFile(calls + ".exit", exitCode);
        ASSERT_EQ(run(), -1) << shownPrompt(0);
    }
    EXPECT_EQ(readFile(calls), "\n\n") << "failed, retried, then current";
    EXPECT_EQ(requestsFor("libkxdemocomponent.so").size(), 1U);
    // The font added last to this process's fonts.
    const FcFontSet* set = FcConfigGetFonts(FcConfigGetCurrent(), FcSetApplication);
    ASSERT_TRUE(set != nullptr && set->nfont > 0);
    FcChar8* added = nullptr;
    ASSERT_EQ(FcPatternGetString(set->fonts[set->nfont - 1], FC_FILE, 0, &added), FcResultMatch);
    EXPECT_EQ(reinterpret_cast<const char*>(added), Module1().FontsDir + "/Demo.ttf");
}

}  // namespace
}  // namespace kx::test
