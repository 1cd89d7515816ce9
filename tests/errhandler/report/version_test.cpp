#include "errhandler/report/version.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace kx::errhandler {
namespace {

TEST(VersionToNumber, BuildsTheTwoPlusFourDigitNumberAndReadsGarbageAsZero) {
    EXPECT_EQ(VersionToNumber("2.71.9030.0"), 2007190300000.0);
    EXPECT_EQ(VersionToNumber(" 3,520,9030,0 "), VersionToNumber("3.520.9030.0"));
    EXPECT_EQ(VersionToNumber("4.00.5914.0"), 4000059140000.0);
    EXPECT_EQ(VersionToNumber("2.71"), 2007100000000.0);
    EXPECT_EQ(VersionToNumber("10"), 10.0);
    EXPECT_EQ(VersionToNumber(""), 0.0);
    EXPECT_EQ(VersionToNumber("abc"), 0.0);
    EXPECT_EQ(VersionToNumber("2.71a.9030.0"), 0.0);
    EXPECT_EQ(VersionToNumber("..."), 0.0);
    EXPECT_EQ(VersionToNumber("1.2.3.4.5"), VersionToNumber("1.2.3.0"));
    EXPECT_EQ(VersionToNumber(std::string(400, '9')), 9999999999999999.0);
}

TEST(IsOlderVersion, OrdersVersionsByValueEvenWithPartsAbove32767) {
    EXPECT_TRUE(IsOlderVersion("2.70.9001.0", "2.71.9030.0"));
    EXPECT_FALSE(IsOlderVersion("2.71.9030.0", "2.71.9030.0"));
    EXPECT_FALSE(IsOlderVersion("2.71.9030.1", "2.71.9030.0"));
    EXPECT_TRUE(IsOlderVersion("", "2.71.9030.0"));
    EXPECT_FALSE(IsOlderVersion("", ""));
    EXPECT_TRUE(IsOlderVersion("10", "2.71.9030.0"));
    EXPECT_FALSE(IsOlderVersion("10", "0.0.0.10"));
    EXPECT_TRUE(IsOlderVersion("6.1.9999.0", "6.1.40000.0"));
    EXPECT_FALSE(IsOlderVersion("6.1.40000.0", "6.1.9999.0"));
    EXPECT_TRUE(IsOlderVersion("1.65535.0.0", "2.0.0.0"));
    EXPECT_TRUE(IsOlderVersion("6.1.40000.0", "6.1.40000.1"));
    EXPECT_TRUE(IsOlderVersion("99999999999999999999.0", "99999999999999999999.1"));
}

TEST(GetWindowsVersion, IsTheOsNameWithTheKernelReleaseInBrackets) {
    test::TempDir dir;
    test::writeFile(dir / "os-release",
                    "NAME=Debian\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n");
    sys::OsInfoSources sources;
    sources.osReleasePaths = {(dir / "os-release").string()};
    sources.kernelRelease = [] { return std::string("6.1.0-18-amd64"); };
    EXPECT_EQ(GetWindowsVersion(sources), "Debian GNU/Linux 12 (bookworm) (6.1.0-18-amd64)");
    EXPECT_TRUE(IsWindowsNT());
    EXPECT_EQ(GetShortPath("/opt/Some Folder/file.dll"), "/opt/Some Folder/file.dll");
}

}  // namespace
}  // namespace kx::errhandler
