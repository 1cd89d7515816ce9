#include <gtest/gtest.h>

#include <filesystem>

#include "launcher/startup/config.h"
#include "launcher/startup/launcher_state.h"
#include "tests/support/temp_dir.h"

namespace kx::launcher {
namespace {

namespace fs = std::filesystem;

class Configuration : public ::testing::Test {
  protected:
    void SetUp() override { resetLauncherState(); }
    void TearDown() override { resetLauncherState(); }

    // Loads the configuration from a program folder holding `file` (none when empty).
    void load(const std::string& file) {
        if (!file.empty()) {
            fs::copy_file(fs::path(KX_STARTUP_DATA_DIR) / file, program_ / kConfigFileName);
        }
        FolderSources sources{[this] { return program_.str(); }, [] { return std::string(); },
                              [] { return std::string(); }, [] { return std::string(); }};
        InitConfig(sources);
        applyConfiguration();
    }

    test::TempDir program_;
};

TEST_F(Configuration, MissingOrUnreadableFileGivesAnEmptyTableAndEveryDefault) {
    for (const std::string document : {"", "<xml><not a row set"}) {
        SCOPED_TRACE("document: " + document);
        if (!document.empty()) {
            test::writeFile(program_ / kConfigFileName, document);
        }
        load("");
        ASSERT_TRUE(Module1().rsConfig);
        EXPECT_EQ(Module1().rsConfig->RecordCount(), 0);
        EXPECT_EQ(Module1().rsConfig->Fields("PropName").DefinedSize(), 255);
        EXPECT_EQ(Module1().rsConfig->Fields("PropValue").DefinedSize(), 4000);
        EXPECT_EQ(Module1().mBaseURL, kDefaultBaseURL);
        EXPECT_FALSE(Module1().mIsSharedEnvironment);
        EXPECT_EQ(Module1().mWarnIfUpdates, "");
        EXPECT_FALSE(IsUpdateAdmin("ADMIN1"));
        EXPECT_TRUE(fs::is_directory(program_ / "Temp"));  // InitConfig set up the directories
    }
}

TEST_F(Configuration, ValuesAreTrimmedFirstRowWinsSharedNeedsTheWordTrueAndAdminsAreExact) {
    load("KXVantorConfig.XML");
    EXPECT_EQ(Module1().mBaseURL, "https://first.example/kxbo");
    EXPECT_TRUE(Module1().mIsSharedEnvironment);
    EXPECT_EQ(Module1().mWarnIfUpdates, "W");
    EXPECT_EQ(GetConfigValue("O'Brien's key"), "apostrophe");
    EXPECT_EQ(GetConfigValue("O'Brien"), "");
    EXPECT_EQ(GetConfigValue("Missing"), "");
    // Each of several update administrators is recognised, and nobody else.
    EXPECT_TRUE(IsUpdateAdmin("ADMIN1"));
    EXPECT_TRUE(IsUpdateAdmin("O'NEIL"));
    EXPECT_TRUE(IsUpdateAdmin("ADMIN3"));
    EXPECT_FALSE(IsUpdateAdmin("ADMIN2"));
    EXPECT_FALSE(IsUpdateAdmin(" ADMIN1"));  // the login is not trimmed for the search
    EXPECT_FALSE(IsUpdateAdmin("  "));       // even though a blank row exists
    EXPECT_FALSE(IsUpdateAdmin(""));
    // Lookups leave the table without a restriction.
    EXPECT_EQ(Module1().rsConfig->RecordCount(), 10);
    // An empty key returns empty without touching the table's restriction.
    Module1().rsConfig->setFilter(Variant("PropName='WarnIfUpdates'"));
    EXPECT_EQ(GetConfigValue(""), "");
    EXPECT_EQ(Module1().rsConfig->RecordCount(), 1);
}

TEST_F(Configuration, ErrorInsideALookupEndsItQuietlyWithTheResultSoFar) {
    load("KXVantorConfig.XML");
    EXPECT_EQ(GetConfigValue("NoValue"), "");  // an empty cell cannot be read as text
    EXPECT_EQ(Err().Number, 0);
    Module1().rsConfig.reset();
    EXPECT_EQ(GetConfigValue("BaseURL"), "");
    EXPECT_FALSE(IsUpdateAdmin("ADMIN1"));
}

}  // namespace
}  // namespace kx::launcher
