#include "errhandler/report/machine_context.h"

#include <gtest/gtest.h>

#include "errhandler/report/diagnostics_block.h"
#include "errhandler/report/version.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_dir.h"

namespace kx::errhandler {
namespace {

TEST(LastTickToken, IsTheFirst36OfTheLast40CharactersOfTheTokenFilesFirstLine) {
    const std::string forty = "0123456789abcdefghijklmnopqrstuvwxyzABCD";
    EXPECT_EQ(lastTickTokenFromLine(forty), forty.substr(0, 36));
    EXPECT_EQ(lastTickTokenFromLine("PREFIX" + forty), forty.substr(0, 36));
    EXPECT_EQ(lastTickTokenFromLine(forty.substr(0, 38)), forty.substr(0, 36));
    EXPECT_EQ(lastTickTokenFromLine("short"), "short");
    EXPECT_EQ(lastTickTokenFromLine(""), "");
    EXPECT_EQ(lastTickTokenFromLine("ab\r\ncd\r\n"), "abcd");
    EXPECT_EQ(lastTickTokenFromLine("a\rb\nc"), "a\rb\nc");

    test::TempDir dir;
    test::ScopedEnvironment tokenDir("KX_TOKEN_DIR", dir.str());
    EXPECT_EQ(GetLastTickToken(), "");  // no file

    const std::string token = "6F9619FF-8B86-D011-B42D-00C04FC964FFtail";
    test::writeFile(dir / "LastTickToken.tmp", token + "\r\nsecond line\r\n");
    EXPECT_EQ(GetLastTickToken(), token.substr(0, 36));

    test::writeFile(dir / "LastTickToken.tmp", std::string(70 * 1024, 'x') + "\n");
    EXPECT_EQ(GetLastTickToken(), "");  // a first line beyond any token's size
}

TEST(ParentProcess, NamesTheLibraryFolderAndTheHostExecutable) {
    EXPECT_EQ(GetParentProcess("/opt/kestrix"), "/opt/kestrix/report_tests");
    // Linked statically into the test program, the library's folder is the program's.
    EXPECT_EQ(GetLibraryDirectory(), std::string(KX_BIN_DIR));
    EXPECT_EQ(GetParentProcess(), std::string(KX_BIN_DIR) + "/report_tests");
}

TEST(DiagnosticsBlock, CarriesTheLinesInOrderWithTrue64BitFigures) {
    DiagnosticsInputs in;
    in.memory.availablePageFile = 40'000'000'000ULL;
    in.memory.availablePhysical = 17'179'869'184ULL;
    in.memory.availableVirtual = 140'737'488'355'328ULL;
    in.memory.memoryLoad = 37;
    in.memory.totalPageFile = 0;
    in.memory.totalPhysical = 999;
    in.memory.totalVirtual = 1000;
    in.windowsVersion = "Debian GNU/Linux 12 (bookworm) (6.1.0-18-amd64)";
    in.mdacAudit = "MDAC CHECK\r\n";
    in.crystalAudit = "Crystal + VSFlex Checks\r\n\r\nVBRuntime Checks\r\n";
    EXPECT_EQ(formatDiagnosticsBlock(in),
              test::readFile(KX_TEST_DATA_DIR "/errhandler/diagnostics_block.golden"));
    EXPECT_EQ(formatGrouped(UINT64_MAX), "9,223,372,036,854,775,807");
}

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
