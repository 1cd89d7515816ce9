#include "platform/version/file_version.h"

#include <gtest/gtest.h>

#include <span>

#include "platform/version/executable_version.h"
#include "tests/platform/version/executable_fixtures.h"
#include "tests/support/temp_dir.h"

namespace kx::version {
namespace {

class FileVersionTest : public ::testing::Test {
  protected:
    std::string write(const std::string& name, const std::string& bytes) {
        test::writeFile(dir_ / name, bytes);
        return (dir_ / name).string();
    }
    test::TempDir dir_;
};

TEST_F(FileVersionTest, ReadsThePeResourceUnlessDamagedAndTheElfNoteInEveryLayoutElseTheSideFile) {
    EXPECT_EQ(fileVersion(write("a.dll", test::buildPeFile({{2, 71, 9030, 0}, false}))),
              "2.71.9030.0");
    EXPECT_EQ(fileVersion(write("b.dll", test::buildPeFile({{65535, 1, 40000, 7}, true}))),
              "65535.1.40000.7");

    // Damaged files have no version resource.
    const std::string good = test::buildPeFile({});
    std::string badSignature = good;
    badSignature[test::peFixedInfoOffset()] = 0;
    EXPECT_EQ(fileVersion(write("sig.dll", badSignature)), "");
    // Every truncation of a valid file must read as "no version" without reading past the end.
    for (std::size_t length = 0; length < good.size(); ++length) {
        const MemoryByteSource source(
            std::span(reinterpret_cast<const std::uint8_t*>(good.data()), length));
        EXPECT_FALSE(readPeFileVersion(source)) << "truncated to " << length;
    }
    std::string loop = good;
    // The type level points back at the root directory instead of the names.
    loop.replace(0x200 + 0x18 + 20, 4, std::string("\0\0\0\x80", 4));
    EXPECT_EQ(fileVersion(write("loop.dll", loop)), "");

    // The package note of ELF files, in every layout.
    for (const bool wide : {true, false}) {
        for (const bool big : {false, true}) {
            for (const bool segments : {true, false}) {
                const test::ElfFixture fixture{
                    .wide = wide, .bigEndian = big, .programHeader = segments};
                EXPECT_EQ(fileVersion(write("lib.so", test::buildElfFile(fixture))), "5.6.7.8")
                    << wide << big << segments;
            }
        }
    }
    // Notes without a usable version fall back to the side file.
    write("plain.so.ver", "1.0.0.9\r\n");
    for (const char* json : {R"({"name":"x"})", R"({"version":5})", "not json",
                             R"({"version":"has space"})", R"({"version":""})"}) {
        EXPECT_EQ(fileVersion(write("plain.so", test::buildElfFile({.packageJson = json}))),
                  "1.0.0.9")
            << json;
    }
    // The side file gives its first line without spaces.
    write("msdatsrc.tlb", "no version resource in here");
    write("msdatsrc.tlb.ver", " 9. 0.9030 .0 \r\nsecond line\r\n");
    EXPECT_EQ(fileVersion((dir_ / "msdatsrc.tlb").string()), "9.0.9030.0");
    // The side file counts even when the file itself is missing.
    write("gone.dll.ver", "1.2.3.4");
    EXPECT_EQ(fileVersion((dir_ / "gone.dll").string()), "1.2.3.4");
    EXPECT_EQ(fileVersion((dir_ / "nothing.dll").string()), "");
    EXPECT_EQ(fileVersion(dir_.str()), "");
}

}  // namespace
}  // namespace kx::version
