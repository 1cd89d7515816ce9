#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "launcher/startup/launcher_state.h"
#include "launcher/startup/system_utilities.h"
#include "platform/runtime/message_box.h"
#include "tests/support/temp_dir.h"

namespace kx::launcher {
namespace {

namespace fs = std::filesystem;

TEST(SysErrorMessage, KnownCodesGiveTheirTextAndAllOthersTheUnknownText) {
    EXPECT_EQ(SysErrorMessage(2), "2 : File Not Found");
    EXPECT_EQ(SysErrorMessage(5), "5 : Access Denied");
    EXPECT_EQ(SysErrorMessage(31),
              "31 : No Application Associated With The Given Filename Extension");
    EXPECT_EQ(SysErrorMessage(32), "32 : DLL Not Found");
    EXPECT_EQ(SysErrorMessage(0), "0 : (Unknown Error Code)");
    EXPECT_EQ(SysErrorMessage(33), "33 : (Unknown Error Code)");
}

TEST(ConvertToShortPath, ExistingPathsAreTheirOwnShortFormMissingOnesGiveEmpty) {
    test::TempDir dir;
    test::writeFile(dir / "with blanks.dll", "x");
    EXPECT_EQ(ConvertToShortPath((dir / "with blanks.dll").string()),
              (dir / "with blanks.dll").string());
    EXPECT_EQ(ConvertToShortPath(dir.str()), dir.str());
    EXPECT_EQ(ConvertToShortPath((dir / "missing.dll").string()), "");
    EXPECT_EQ(ConvertToShortPath(""), "");
}

Ipv4Lister listing(std::vector<Ipv4Address> addresses, std::int32_t status = 0) {
    return [=] { return Ipv4Table{status, addresses}; };
}

TEST(GetIpAddrTable, HighestAddressByValueWinsAndNoneAFailedListingOrAnOverfullTableGiveEmpty) {
    EXPECT_EQ(GetIpAddrTable(listing({{192, 168, 1, 20}, {127, 0, 0, 1}})), "192.168.1.20");
    EXPECT_EQ(GetIpAddrTable(listing({{10, 0, 0, 5}, {127, 0, 0, 1}})), "127.0.0.1");
    EXPECT_EQ(GetIpAddrTable(listing({})), "");
    EXPECT_EQ(GetIpAddrTable(listing({{10, 0, 0, 1}}, 97)), "");
    std::vector<Ipv4Address> many;
    for (std::uint8_t i = 1; i <= 22; ++i) {
        many.push_back({10, 0, 0, i});
    }
    EXPECT_EQ(GetIpAddrTable(listing(many)), "");
    EXPECT_EQ(Err().Number, 0);  // the failure was dropped
    many.pop_back();
    EXPECT_EQ(GetIpAddrTable(listing(many)), "10.0.0.21");
}

TEST(GetIpAddrTable, TheMachineHasAtLeastItsLoopbackAddress) {
    const Ipv4Table table = listInterfaceAddresses();
    ASSERT_EQ(table.status, 0);
    const Ipv4Address loopback{127, 0, 0, 1};
    EXPECT_NE(std::find(table.addresses.begin(), table.addresses.end(), loopback),
              table.addresses.end());
    EXPECT_FALSE(GetIpAddrTable().empty());
}

class AdminProbe : public ::testing::Test {
  protected:
    void SetUp() override {
        resetLauncherState();
        Module1().CommonDir = common_.str();
        Module1().retCheckForUpdates = vbmsg::kYes;
    }
    void TearDown() override { resetLauncherState(); }
    test::TempDir common_;
};

TEST_F(AdminProbe, AWritableFolderPassesReusingAnyEarlierProbeAndLeavesNothingBehind) {
    EXPECT_TRUE(CheckAdminRights());
    EXPECT_TRUE(fs::is_empty(common_.path()));
    // A probe left by an earlier failed run, and a file where the probe's folder belongs.
    test::writeFile(common_ / "KXTest" / "KXTest.dat", "stale");
    EXPECT_TRUE(CheckAdminRights());
    EXPECT_TRUE(fs::is_empty(common_.path()));
    test::writeFile(common_ / "KXTest", "not a folder");
    EXPECT_TRUE(CheckAdminRights());
    EXPECT_TRUE(fs::is_empty(common_.path()));

    // A folder that cannot be made fails, unless the update check was skipped: then the disk is
    // not touched at all.
    Module1().CommonDir = (common_ / "missing" / "deeper").string();
    EXPECT_FALSE(CheckAdminRights());
    Module1().retCheckForUpdates = vbmsg::kNo;
    EXPECT_TRUE(CheckAdminRights());
    EXPECT_TRUE(fs::is_empty(common_.path()));
}

}  // namespace
}  // namespace kx::launcher
