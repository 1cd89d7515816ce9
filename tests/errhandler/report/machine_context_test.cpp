#include "errhandler/report/machine_context.h"

#include <gtest/gtest.h>

#include "errhandler/report/diagnostics_block.h"
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

}  // namespace
}  // namespace kx::errhandler
