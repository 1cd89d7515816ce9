// The install-group stamp files on their own: names from the server cannot leave CommonDir, and
// only the start of a file is read.

#include <gtest/gtest.h>

#include "launcher/startup/launcher_state.h"
#include "launcher/update/install_time_stamps.h"
#include "tests/support/raised_error.h"
#include "tests/support/temp_dir.h"

namespace kx::test {
namespace {

using launcher::Module1;

class InstallTimeStampsTest : public ::testing::Test {
  protected:
    InstallTimeStampsTest() {
        launcher::resetLauncherState();
        Module1().CommonDir = (dir_ / "common").string();
        std::filesystem::create_directories(Module1().CommonDir);
    }
    TempDir dir_;
};

// A group name that is no plain file name is neither read nor written, and a stamp that is no
// date is not written; the other group of the same run is written all the same.
TEST_F(InstallTimeStampsTest, NamesThatAreNoPlainFileNameAndStampsThatAreNoDatesAreSkipped) {
    writeFile(dir_ / "escaped.txt", "2024-01-01\r\n");
    for (const std::string& name :
         std::vector<std::string>{"../escaped", "", "..", std::string("a\0b", 3)}) {
        EXPECT_EQ(test::raisedError([&] { launcher::installTimeStampPath(name); }).number(), 52);
        EXPECT_EQ(launcher::GetClientLastUpdate(name), "");
    }
    Module1().m_CustomInstallGroupName = "INSTALL_5";
    Module1().m_CustomServerLastUpdate = "2024-02-29T12:00:00";
    for (const auto& [group, stamp] :
         {std::pair{"../escaped", "2025-01-01"}, {"INSTALL_4", "soon"}}) {
        Module1().m_InstallGroupName = group;
        Module1().m_ServerLastUpdate = stamp;
        launcher::WriteInstallTimeStamp();
        EXPECT_EQ(readFile(launcher::installTimeStampPath("INSTALL_5")), "2024-02-29T12:00:00\r\n");
        std::filesystem::remove(launcher::installTimeStampPath("INSTALL_5"));
    }
    EXPECT_EQ(readFile(dir_ / "escaped.txt"), "2024-01-01\r\n");
    EXPECT_FALSE(std::filesystem::exists(launcher::installTimeStampPath("INSTALL_4")));
}

TEST_F(InstallTimeStampsTest, OnlyTheFirstLineOfABoundedHeadIsRead) {
    const auto file = launcher::installTimeStampPath("INSTALL_3");
    writeFile(file, " 2024-01-01 10:00 \nsecond line\r\n");
    EXPECT_EQ(launcher::GetClientLastUpdate("INSTALL_3"), "2024-01-01 10:00");
    writeFile(file, std::string(launcher::kMaxStampFileBytes * 4, '7'));
    EXPECT_EQ(launcher::GetClientLastUpdate("INSTALL_3").size(), launcher::kMaxStampFileBytes);
}

}  // namespace
}  // namespace kx::test
