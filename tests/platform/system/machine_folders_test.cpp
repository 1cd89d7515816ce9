#include "platform/system/machine_folders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/system/file_read.h"
#include "platform/system/process_info.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_dir.h"

namespace kx::sys {
namespace {

TEST(MachineFolders, EnvironmentOverridesWithoutTrailingSlashElseTheDefaults) {
    test::ScopedEnvironment environment;
    environment.set("KX_SYSTEM_DIR", "/opt/sys/");
    environment.set("KX_WINDOWS_DIR", "/opt/win");
    environment.set("KX_COMMON_FILES_DIR", "/opt/common//");
    environment.set("KX_TOKEN_DIR", "/opt/token");
    EXPECT_EQ(systemDirectory(), "/opt/sys");
    EXPECT_EQ(windowsDirectory(), "/opt/win");
    EXPECT_EQ(commonFilesDirectory(), "/opt/common");
    EXPECT_EQ(tokenDirectory(), "/opt/token");

    environment.set("KX_SYSTEM_DIR", "");
    environment.unset("KX_WINDOWS_DIR");
    environment.unset("KX_COMMON_FILES_DIR");
    environment.unset("KX_TOKEN_DIR");
    environment.set("TMPDIR", "/var/tmp/user7/");
    EXPECT_EQ(systemDirectory(), "/var/lib/kestrix/system");
    EXPECT_EQ(windowsDirectory(), "/var/lib/kestrix/windows");
    EXPECT_EQ(commonFilesDirectory(), "/var/lib/kestrix/common");
    // The token folder falls back to the user's temporary folder.
    EXPECT_EQ(tokenDirectory(), "/var/tmp/user7");
    environment.set("TMPDIR", "relative/tmp");
    EXPECT_EQ(tokenDirectory(), "/tmp");

    // The user's folders: each variable counts only as an absolute path, else under HOME.
    environment.set("XDG_DATA_HOME", "relative");
    environment.set("HOME", "/home/u/");
    environment.set("XDG_RUNTIME_DIR", "/run/user/7/");
    EXPECT_EQ(userDataDirectory(), "/home/u/.local/share");
    EXPECT_EQ(runtimeDirectory(), "/run/user/7");
    environment.set("XDG_DATA_HOME", "/data/u/");
    environment.unset("XDG_RUNTIME_DIR");
    EXPECT_EQ(userDataDirectory(), "/data/u");
    EXPECT_EQ(runtimeDirectory(), "");
}

TEST(FileRead, HeadReadsRegularFilesUpToTheBoundOnlyAndFirstLineEndsAtACrOrLf) {
    test::TempDir dir;
    test::writeFile(dir / "f", "0123456789");
    EXPECT_EQ(readFileHead((dir / "f").string(), 4), "0123");
    EXPECT_EQ(readFileHead((dir / "f").string(), 100), "0123456789");
    EXPECT_FALSE(readFileHead((dir / "absent").string(), 100));
    EXPECT_FALSE(readFileHead(dir.str(), 100));
    // Opening a FIFO without a writer must neither block nor count as a file.
    const auto fifo = (dir / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(readFileHead(fifo, 100));
    // Files under /proc report size 0 but have content.
    const auto meminfo = readFileHead("/proc/meminfo", 1 << 16);
    ASSERT_TRUE(meminfo);
    EXPECT_NE(meminfo->find("MemTotal:"), std::string::npos);
    // The first line ends at the first CR or LF.
    EXPECT_EQ(firstLine("abc\r\ndef"), "abc");
    EXPECT_EQ(firstLine("abc\ndef"), "abc");
    EXPECT_EQ(firstLine("abc\rdef"), "abc");
    EXPECT_EQ(firstLine("abc"), "abc");
    EXPECT_EQ(firstLine("\nabc"), "");
}

TEST(ProcessInfo, NamesTheTestExecutable) {
    EXPECT_EQ(currentExecutableName(), "system_tests");
    EXPECT_TRUE(currentExecutablePath().ends_with("/system_tests"));
}

}  // namespace
}  // namespace kx::sys
