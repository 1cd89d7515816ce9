// The shell's execute: programs start detached with their parameters in the given folder, and
// every failure maps onto the shell's codes.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/shell/shell_execute.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_dir.h"

namespace kx::shell {
namespace {

namespace fs = std::filesystem;

// What the detached program wrote to `dir`/started: its folder and its arguments. Waits up to
// five seconds for it; the programs write the record beside it and rename it, so that it is never
// read half-written.
std::string startedRecord(const test::TempDir& dir) {
    for (int wait = 0; wait < 500 && !fs::exists(dir / "started"); ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return test::readFile(dir / "started");
}

TEST(ShellExecute, ProgramsStartDetachedAndFailuresGiveTheShellsCodes) {
    test::TempDir dir;
    // Without xdg-open and pkexec in PATH, other files and "runas" have no application.
    const test::ScopedEnvironment path("PATH", dir.str());
    test::writeFile(dir / "app",
                    "#!/bin/sh\n{ pwd; printf '%s|' \"$@\"; } > ../started.part && /bin/mv "
                    "../started.part ../started\n");
    test::writeFile(dir / "sub" / "garbage", "not a program");
    test::writeFile(dir / "notes.txt", "text");
    fs::permissions(dir / "app", fs::perms::owner_all);
    fs::permissions(dir / "sub" / "garbage", fs::perms::owner_all);
    const std::string app = (dir / "app").string();

    EXPECT_GT(ShellExecute("", app, "\"a b\" c", (dir / "sub").string(), SW_SHOWNORMAL), 32);
    EXPECT_EQ(startedRecord(dir), (dir / "sub").string() + "\na b|c|");

    const std::tuple<const char*, std::string, std::string, std::int32_t> failures[] = {
        {"open", (dir / "nowhere" / "app").string(), "", code::kPathNotFound},
        {"", app, (dir / "nowhere").string(), code::kPathNotFound},
        {"", (dir / "sub" / "garbage").string(), "", code::kBadFormat},
        {"", (dir / "notes.txt").string(), "", code::kNoAssociation},
        {"runas", app, "", code::kNoAssociation},
    };
    for (const auto& [verb, file, folder, expected] : failures) {
        EXPECT_EQ(ShellExecute(verb, file, "", folder, SW_SHOWNORMAL), expected)
            << verb << " " << file;
    }
}

// "runas" returns once the password prompt is answered, not when the program ends; a dismissed
// prompt is a failure.
TEST(ShellExecute, RunasGoesThroughPkexecAndTheHelperBesideTheProgramKeepsTheFolder) {
    test::TempDir dir;
    const test::ScopedEnvironment path("PATH", dir.str() + ":/usr/bin:/bin");
    // pkexec as it is once the administrator said yes: records its arguments, then runs them
    // without the descriptors it inherited above standard error (it makes them close-on-exec).
    test::writeFile(dir / "pkexec", "#!/bin/sh\nprintf '%s|' \"$@\" > " +
                                        (dir / "pkexec.args").string() +
                                        "\ncd /\nexec \"$@\" 3>&- 4>&- 5>&- 6>&- 7>&- 8>&- 9>&-\n");
    // The program records its start only when the test lets it go (within ten seconds).
    test::writeFile(dir / "sub" / "app",
                    "#!/bin/sh\nfor i in $(seq 100); do [ -e ../go ] && break; sleep 0.1; done\n"
                    "[ -e ../go ] && { pwd; printf '%s|' \"$@\"; } > ../started.part &&\n"
                    "/bin/mv ../started.part ../started\n");
    fs::permissions(dir / "pkexec", fs::perms::owner_all);
    fs::permissions(dir / "sub" / "app", fs::perms::owner_all);
    const std::string app = (dir / "sub" / "app").string();

    EXPECT_GT(ShellExecute("RunAs", app, "\"a b\" c", (dir / "sub").string(), SW_SHOWNORMAL), 32);
    test::writeFile(dir / "go", "");
    EXPECT_EQ(startedRecord(dir), (dir / "sub").string() + "\na b|c|");
    const fs::path helper = fs::read_symlink("/proc/self/exe").parent_path() / kElevationHelper;
    EXPECT_EQ(test::readFile(dir / "pkexec.args"),
              helper.string() + "|" + (dir / "sub").string() + "|" + app + "|a b|c|");
    test::writeFile(dir / "pkexec", "#!/bin/sh\nexit 126\n");  // the prompt dismissed
    EXPECT_EQ(ShellExecute("runas", app, "", "", SW_SHOWNORMAL), code::kAccessDenied);
}

}  // namespace
}  // namespace kx::shell
