#include <gtest/gtest.h>

#include <filesystem>

#include "launcher/startup/directories.h"
#include "launcher/startup/launcher_state.h"
#include "tests/support/temp_dir.h"

namespace kx::launcher {
namespace {

namespace fs = std::filesystem;

class DirectorySet : public ::testing::Test {
  protected:
    void SetUp() override {
        resetLauncherState();
        fs::create_directory(program_ / "prog");
    }
    void TearDown() override { resetLauncherState(); }

    FolderSources sources() const {
        return {[this] { return (program_ / "prog").string(); },
                [this] { return (appData_ / "share").string(); },
                [] { return std::string("/machine/system"); },
                [] { return std::string("/machine/windows/"); }};
    }

    // A list of one text column positioned on its one row.
    static std::shared_ptr<rowset::Recordset> oneRow(const char* field, const std::string& text) {
        auto list = std::make_shared<rowset::Recordset>();
        list->appendField(field, rowset::DataType::adVarChar, 50);
        list->Open();
        list->AddNew();
        list->Fields(field).setValue(Variant(text));
        list->Update();
        return list;
    }

    // rsLogins and rsDeployments positioned on one row each, as the login leaves them.
    static void chooseDeployment(const std::string& loginType, const std::string& deployFolder) {
        Module1().rsLogins = oneRow("LoginType", loginType);
        Module1().rsDeployments = oneRow("DeployFolder", deployFolder);
    }

    test::TempDir program_;
    test::TempDir appData_;
};

TEST_F(DirectorySet, WithoutProfileTheFirstGroupLiesInTheProgramFolderAndTheRestStaysEmpty) {
    InitDirectories(true, sources());
    const Module1State& s = Module1();
    const std::string prog = (program_ / "prog").string();
    EXPECT_EQ((std::vector{s.ProgFilesDir, s.OstbrookDir, s.KestrixDir, s.TempDir, s.CommonDir,
                           s.BrokerDir, s.ClientDir, s.SystemDir, s.WindowsDir, s.FontsDir}),
              (std::vector<std::string>{prog, prog, prog, prog + "/Temp", "", "", "", "", "", ""}));
    EXPECT_TRUE(fs::is_directory(s.TempDir));
}

TEST_F(DirectorySet,
       WithProfileTheFoldersLieUnderTheUserDataFolderAndTheNextStartKeepsTheirContents) {
    Module1().mUseProfile = true;
    InitDirectories(true, sources());
    const fs::path root = appData_ / "share" / "Kestrix" / "Kestrix Vantor";
    EXPECT_EQ(Module1().ProgFilesDir, root.string());
    EXPECT_EQ(Module1().TempDir, (root / "Temp").string());
    EXPECT_TRUE(fs::is_directory(root / "Temp"));
    // The exact folders made, and the program folder left alone, are the whole-program test's.
    test::writeFile(root / "Temp" / "keep.txt", "x");
    InitDirectories(true, sources());
    EXPECT_EQ(test::readFile(root / "Temp" / "keep.txt"), "x");

    // Without an application data folder the profile falls back to the program folder.
    FolderSources noAppData = sources();
    noAppData.applicationDataFolder = [] { return std::string(); };
    InitDirectories(true, noAppData);
    EXPECT_EQ(Module1().ProgFilesDir, (program_ / "prog").string());
}

TEST_F(DirectorySet, ChosenClientDeploymentCompletesTheSetUnderKestrixDir) {
    chooseDeployment("CLIENT", "F");
    InitDirectories(false, sources());
    const Module1State& s = Module1();
    const std::string common = (program_ / "prog" / "CLIENT" / "F").string();
    EXPECT_EQ(
        (std::vector{s.CommonDir, s.BrokerDir, s.ClientDir, s.SystemDir, s.WindowsDir, s.FontsDir}),
        (std::vector<std::string>{common, common, common, "/machine/system", "/machine/windows",
                                  "/machine/windows/Fonts"}));
    EXPECT_TRUE(fs::is_directory(common));
}

TEST_F(DirectorySet, FailingStepsAreSkippedAndLeaveTheirFieldsAsTheyWere) {
    // No current row in either list: both CommonDir steps fail silently, the rest goes on.
    Module1().CommonDir = "before";
    Module1().rsLogins = std::make_shared<rowset::Recordset>();
    InitDirectories(false, sources());
    EXPECT_EQ(Module1().CommonDir, "before");
    EXPECT_EQ(Module1().BrokerDir, "before");
    EXPECT_EQ(Module1().FontsDir, "/machine/windows/Fonts");
    EXPECT_EQ(Err().Number, 0);
}

TEST_F(DirectorySet, FolderNamesFromTheServerCannotLeadOutsideKestrixDir) {
    chooseDeployment("..", "escape");
    Module1().CommonDir = (program_ / "prog" / "old").string();
    InitDirectories(false, sources());
    EXPECT_EQ(Module1().CommonDir, (program_ / "prog" / "old" / "escape").string());
    EXPECT_FALSE(fs::exists(program_.path() / "escape"));

    chooseDeployment("CLIENT", "a/b");
    InitDirectories(false, sources());
    EXPECT_EQ(Module1().CommonDir, (program_ / "prog" / "CLIENT").string());
}

}  // namespace
}  // namespace kx::launcher
