#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <utility>

#include "launcher/crash/crash_support.h"
#include "launcher/crash/exception_filter.h"
#include "launcher/crash/trap.h"
#include "launcher/startup/system_utilities.h"
#include "platform/runtime/message_box.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace kx::launcher {
namespace {

namespace fs = std::filesystem;

using Args = std::vector<std::string>;

TEST(WindowsCommandLine, SplitsAsTheWindowsRuntimeDoes) {
    const std::pair<const char*, Args> cases[] = {
        // The first argument ignores backslashes and ends at its closing quote.
        {R"("C:\Program Files\x.exe" /q)", {R"(C:\Program Files\x.exe)", "/q"}},
        {R"(C:\a\\"b c)", {R"(C:\a\\"b)", "c"}},
        {R"("unclosed first)", {"unclosed first"}},
        {"", {""}},
        // Later, backslashes count only before a quote.
        {R"(p "ab\"c" "\\" d)", {"p", R"(ab"c)", "\\", "d"}},
        {R"(p a\\\b d"e f"g h)", {"p", R"(a\\\b)", "de fg", "h"}},
        {R"(p a\\\"b c d)", {"p", R"(a\"b)", "c", "d"}},
        {R"(p a\\\\"b c" d e)", {"p", R"(a\\b c)", "d", "e"}},
        // Quote runs and blanks.
        {R"(p a"b"" c d)", {"p", R"(ab")", "c", "d"}},
        {R"(p """")", {"p", R"(")"}},
        {"p \t a  \"\"  b ", {"p", "a", "", "b"}},
    };
    for (const auto& [line, expected] : cases) {
        EXPECT_EQ(splitWindowsCommandLine(line), expected) << "case: " << line;
    }
}

class ExecCmdRun : public ::testing::Test {
  protected:
    // A script that writes its arguments, one per line, to args.txt and exits with `code`.
    std::string script(const std::string& relative, int code) {
        const fs::path path = dir_ / relative;
        test::writeFile(path, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" +
                                  (dir_ / "args.txt").string() + "'\nexit " + std::to_string(code) +
                                  "\n");
        fs::permissions(path, fs::perms::owner_all);
        return path.string();
    }
    std::string arguments() const { return test::readFile(dir_ / "args.txt"); }

    test::TempDir dir_;
};

TEST_F(ExecCmdRun, ReturnsTheExitCodeOrOneHundredTwentyEightPlusTheEndingSignal) {
    EXPECT_EQ(ExecCmd("sh -c \"exit 0\""), 0);
    EXPECT_EQ(ExecCmd("sh -c \"exit 194\""), 194);
    // A process ended by a signal gives 128 plus the signal.
    EXPECT_EQ(ExecCmd("sh -c \"kill -TERM $$\""), 128 + SIGTERM);
}

TEST_F(ExecCmdRun, AProgramThatCannotBeStartedOrSpawnedGivesMinusOne) {
    EXPECT_EQ(ExecCmd((dir_ / "missing.exe").string() + " /q"), -1);
    EXPECT_EQ(ExecCmd("no-such-program-anywhere-kx"), -1);
    EXPECT_EQ(ExecCmd(""), -1);
    EXPECT_EQ(ExecCmd("   "), -1);
    test::writeFile(dir_ / "plain.txt", "not a program");
    EXPECT_EQ(ExecCmd((dir_ / "plain.txt").string()), -1);
    const auto refuse = [](pid_t*, const std::string&, const Args&) { return EACCES; };
    EXPECT_EQ(ExecCmd("sh -c \"exit 0\"", refuse), -1);
}

TEST_F(ExecCmdRun, AnUnquotedProgramPathWithBlanksIsFoundAsWindowsFindsIt) {
    const std::string program = script("Kestrix Vantor/Temp/MDAC_TYP.EXE", 3);
    EXPECT_EQ(ExecCmd(program + " /q:a /c:\"dasetup.exe /q /n\""), 3);
    EXPECT_EQ(arguments(), "/q:a\n/c:dasetup.exe /q /n\n");
    EXPECT_EQ(ExecCmd("\"" + program + "\" \"a b\" c"), 3);
    EXPECT_EQ(arguments(), "a b\nc\n");
    // Alone on the line, the whole path is the program.
    EXPECT_EQ(ExecCmd(script("Kestrix Vantor/Temp/KXDemoSetup.sh", 4)), 4);
    EXPECT_EQ(arguments(), "\n");  // printf with no arguments prints one empty line
}

// The fault is real: the sanitizers must not stop it before the hardware does. It happens inside
// the C library (through a length the compiler cannot see), entered as the real start enters it.
int* volatile g_nullTarget = nullptr;
volatile std::size_t g_length = 64;
__attribute__((noinline, no_sanitize("undefined"))) void memsetThroughNull() {
    std::memset(g_nullTarget, 0, g_length);
}
int faultingSpawn(pid_t*, const std::string&, const Args&) {
    crash::platformCall([] { memsetThroughNull(); });
    return 0;
}

TEST(ExecCmdTrap, AnAccessViolationInsideTheStartIsReportedFromExecCmdOfModule1) {
    const test::ChildResult child = test::runInChild([] {
        const test::ScopedRegistry noErrorLibrary;  // the report falls back to its message box
        // Only the box is compared; the note on the missing library goes to standard error.
        ASSERT_EQ(::dup2(::open("/dev/null", O_WRONLY | O_CLOEXEC), STDERR_FILENO), STDERR_FILENO);
        crash::qtrInstallFilter();
        setMessageBoxHandler([](const std::string& prompt, std::int32_t, const std::string& title) {
            test::emit(title + "|" + prompt);
            return vbmsg::kOK;
        });
        ExecCmd("sh -c \"exit 0\"", faultingSpawn);
        test::emit("ExecCmd returned");
    });
    EXPECT_EQ(child.exitCode, 1);
    EXPECT_EQ(child.output,
              "Application Error|" +
                  crash::fallbackReportText(10005, "Module1", "ExecCmd", "Access Violation", 20));
}

}  // namespace
}  // namespace kx::launcher
