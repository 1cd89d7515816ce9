#include "os_info.h"

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace kx::sys {
namespace {

TEST(OsNameFromRelease, PrefersPrettyNameAndUndoesQuoting) {
    EXPECT_EQ(osNameFromRelease("NAME=\"Debian GNU/Linux\"\n"
                                "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n"),
              "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(osNameFromRelease("PRETTY_NAME='Single quoted'\n"), "Single quoted");
    EXPECT_EQ(osNameFromRelease("PRETTY_NAME=\"Say \\\"hi\\\" \\\\ there\"\n"),
              "Say \"hi\" \\ there");
    EXPECT_EQ(osNameFromRelease("  PRETTY_NAME=Unquoted  \r\n"), "Unquoted");
}

TEST(OsNameFromRelease, FallsBackToNameThenToLinux) {
    EXPECT_EQ(osNameFromRelease("# comment\nNAME=Fedora\nPRETTY_NAME=\"\"\n"), "Fedora");
    EXPECT_EQ(osNameFromRelease("ID=alpine\n"), "Linux");
    EXPECT_EQ(osNameFromRelease(""), "Linux");
}

TEST(OsNameFromRelease, DropsControlCharactersAndBoundsTheLength) {
    EXPECT_EQ(osNameFromRelease("PRETTY_NAME=\"A\x01\x1b[2JB\x7f\"\n"), "A[2JB");
    const std::string longName(5000, 'x');
    EXPECT_EQ(osNameFromRelease("PRETTY_NAME=" + longName + "\n").size(), 200u);
}

TEST(OperatingSystemName, TakesTheFirstReadableFileAndInjectedKernelRelease) {
    test::TempDir dir;
    test::writeFile(dir / "usr-os-release", "PRETTY_NAME=\"Fixture OS 1\"\n");
    OsInfoSources sources;
    sources.osReleasePaths = {(dir / "missing").string(), (dir / "usr-os-release").string()};
    sources.kernelRelease = [] { return std::string("6.1.0-test"); };
    EXPECT_EQ(operatingSystemName(sources), "Fixture OS 1");
    EXPECT_EQ(kernelRelease(sources), "6.1.0-test");

    sources.osReleasePaths = {(dir / "missing").string()};
    EXPECT_EQ(operatingSystemName(sources), "Linux");
}

TEST(KernelRelease, ComesFromUname) {
    const std::string release = kernelRelease();
    EXPECT_FALSE(release.empty());
    EXPECT_NE(release.find('.'), std::string::npos);
}

}  // namespace
}  // namespace kx::sys
