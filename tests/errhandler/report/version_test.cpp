#include "version.h"

#include <gtest/gtest.h>

#include <span>

#include "executable_fixtures.h"
#include "executable_version.h"
#include "temp_dir.h"

namespace kx::errhandler {
namespace {

TEST(VersionToNumber, BuildsTheTwoPlusFourDigitNumberAndReadsGarbageAsZero) {
    EXPECT_EQ(VersionToNumber("2.71.9030.0"), 2007190300000.0);
    EXPECT_EQ(VersionToNumber(" 3,520,9030,0 "), VersionToNumber("3.520.9030.0"));
    EXPECT_EQ(VersionToNumber("4.00.5914.0"), 4000059140000.0);
    EXPECT_EQ(VersionToNumber("2.71"), 2007100000000.0);
    EXPECT_EQ(VersionToNumber("10"), 10.0);
    EXPECT_EQ(VersionToNumber(""), 0.0);
    EXPECT_EQ(VersionToNumber("   "), 0.0);
    EXPECT_EQ(VersionToNumber("abc"), 0.0);
    EXPECT_EQ(VersionToNumber("2.71a.9030.0"), 0.0);
    EXPECT_EQ(VersionToNumber("-1.2.3.4"), 0.0);
    EXPECT_EQ(VersionToNumber("..."), 0.0);
    EXPECT_EQ(VersionToNumber("1.2.3.4.5"), VersionToNumber("1.2.3.0"));
    EXPECT_EQ(VersionToNumber(std::string(400, '9')), 9999999999999999.0);
}

TEST(IsOlderVersion, OrdersVersionsByValueEvenWithPartsAbove32767) {
    EXPECT_TRUE(IsOlderVersion("2.70.9001.0", "2.71.9030.0"));
    EXPECT_FALSE(IsOlderVersion("2.71.9030.0", "2.71.9030.0"));
    EXPECT_FALSE(IsOlderVersion("3,520,9030,0", "3.520.9030.0"));
    EXPECT_FALSE(IsOlderVersion("2.71.9030.1", "2.71.9030.0"));
    EXPECT_TRUE(IsOlderVersion("", "2.71.9030.0"));
    EXPECT_TRUE(IsOlderVersion("", "0.0.0.1"));
    EXPECT_FALSE(IsOlderVersion("", ""));
    EXPECT_TRUE(IsOlderVersion("10", "2.71.9030.0"));
    EXPECT_FALSE(IsOlderVersion("10", "0.0.0.10"));
    EXPECT_TRUE(IsOlderVersion("garbage", "0.0.0.1"));
    EXPECT_TRUE(IsOlderVersion("6.1.9999.0", "6.1.40000.0"));
    EXPECT_FALSE(IsOlderVersion("6.1.40000.0", "6.1.9999.0"));
    EXPECT_TRUE(IsOlderVersion("1.65535.0.0", "2.0.0.0"));
    EXPECT_TRUE(IsOlderVersion("6.1.40000.0", "6.1.40000.1"));
    EXPECT_TRUE(IsOlderVersion("99999999999999999999.0", "99999999999999999999.1"));
}

class FileVersionTest : public ::testing::Test {
  protected:
    std::string write(const std::string& name, const std::string& bytes) {
        test::writeFile(dir_ / name, bytes);
        return (dir_ / name).string();
    }
    test::TempDir dir_;
};

TEST_F(FileVersionTest, ReadsThePeVersionResource) {
    EXPECT_EQ(GetFileVersion(write("a.dll", test::buildPeFile({{2, 71, 9030, 0}, false}))),
              "2.71.9030.0");
    EXPECT_EQ(GetFileVersion(write("b.dll", test::buildPeFile({{65535, 1, 40000, 7}, true}))),
              "65535.1.40000.7");
}

TEST_F(FileVersionTest, DamagedPeFilesHaveNoVersionResource) {
    const std::string good = test::buildPeFile({});
    std::string badSignature = good;
    badSignature[test::peFixedInfoOffset()] = 0;
    EXPECT_EQ(GetFileVersion(write("sig.dll", badSignature)), "");
    // Every truncation of a valid file must read as "no version" without reading past the end.
    for (std::size_t length = 0; length < good.size(); ++length) {
        const MemoryByteSource source(
            std::span(reinterpret_cast<const std::uint8_t*>(good.data()), length));
        EXPECT_FALSE(readPeFileVersion(source)) << "truncated to " << length;
    }
    std::string loop = good;
    // The type level points back at the root directory instead of the names.
    loop.replace(0x200 + 0x18 + 20, 4, std::string("\0\0\0\x80", 4));
    EXPECT_EQ(GetFileVersion(write("loop.dll", loop)), "");
}

TEST_F(FileVersionTest, ReadsTheElfPackageNoteInEveryLayout) {
    for (const bool wide : {true, false}) {
        for (const bool big : {false, true}) {
            for (const bool segments : {true, false}) {
                test::ElfFixture fixture;
                fixture.wide = wide;
                fixture.bigEndian = big;
                fixture.programHeader = segments;
                EXPECT_EQ(GetFileVersion(write("lib.so", test::buildElfFile(fixture))), "5.6.7.8")
                    << wide << big << segments;
            }
        }
    }
}

TEST_F(FileVersionTest, ElfNotesWithoutAUsableVersionFallBackToTheSideFile) {
    write("plain.so.ver", "1.0.0.9\r\n");
    for (const char* json : {R"({"name":"x"})", R"({"version":5})", "not json",
                             R"({"version":"has space"})", R"({"version":""})"}) {
        test::ElfFixture fixture;
        fixture.packageJson = json;
        EXPECT_EQ(GetFileVersion(write("plain.so", test::buildElfFile(fixture))), "1.0.0.9")
            << json;
    }
}

TEST_F(FileVersionTest, SideFileGivesItsFirstLineWithoutSpaces) {
    write("msdatsrc.tlb", "no version resource in here");
    write("msdatsrc.tlb.ver", " 9. 0.9030 .0 \r\nsecond line\r\n");
    EXPECT_EQ(GetFileVersion((dir_ / "msdatsrc.tlb").string()), "9.0.9030.0");
    // The side file counts even when the file itself is missing.
    write("gone.dll.ver", "1.2.3.4");
    EXPECT_EQ(GetFileVersion((dir_ / "gone.dll").string()), "1.2.3.4");
    EXPECT_EQ(GetFileVersion((dir_ / "nothing.dll").string()), "");
    EXPECT_EQ(GetFileVersion(dir_.str()), "");
}

TEST(GetFileVersionOfOurOwnProgram, ReadsThePackageNoteTheBuildEmbeds) {
    EXPECT_EQ(GetFileVersion(std::string(KX_BIN_DIR) + "/kxdiag"), "300.1004.0.12");
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
