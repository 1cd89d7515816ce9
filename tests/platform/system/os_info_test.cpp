#include "platform/system/os_info.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace kx::sys {
namespace {

TEST(OperatingSystemName, PrefersPrettyNameThenNameThenLinuxUnquotedCleanFromTheFirstReadableFile) {
    const std::pair<std::string, std::string> cases[] = {
        {"NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n",
         "Debian GNU/Linux 12 (bookworm)"},
        {"PRETTY_NAME='Single quoted'\n", "Single quoted"},
        {"PRETTY_NAME=\"Say \\\"hi\\\" \\\\ there\"\n", "Say \"hi\" \\ there"},
        {"  PRETTY_NAME=Unquoted  \r\n", "Unquoted"},
        {"# comment\nNAME=Fedora\nPRETTY_NAME=\"\"\n", "Fedora"},
        {"ID=alpine\n", "Linux"},
        {"", "Linux"},
        {"PRETTY_NAME=\"A\x01\x1b[2JB\x7f\"\n", "A[2JB"},
        {"PRETTY_NAME=" + std::string(5000, 'x') + "\n", std::string(200, 'x')},
    };
    for (const auto& [release, name] : cases) {
        EXPECT_EQ(osNameFromRelease(release), name) << "case: " << release.substr(0, 60);
    }

    // The name comes from the first readable file; the kernel release can be injected.
    test::TempDir dir;
    test::writeFile(dir / "usr-os-release", "PRETTY_NAME=\"Fixture OS 1\"\n");
    OsInfoSources sources;
    sources.osReleasePaths = {(dir / "missing").string(), (dir / "usr-os-release").string()};
    sources.kernelRelease = [] { return std::string("6.1.0-test"); };
    EXPECT_EQ(operatingSystemName(sources), "Fixture OS 1");
    EXPECT_EQ(kernelRelease(sources), "6.1.0-test");

    sources.osReleasePaths = {(dir / "missing").string()};
    EXPECT_EQ(operatingSystemName(sources), "Linux");

    // Without an injected one the kernel release comes from uname.
    const std::string release = kernelRelease();
    EXPECT_FALSE(release.empty());
    EXPECT_NE(release.find('.'), std::string::npos);
}

}  // namespace
}  // namespace kx::sys
