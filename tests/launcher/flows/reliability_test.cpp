// The install run killed at random moments: after every kill each target is, byte for byte,
// either its old or its new version, and a run that is let finish completes the update.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <iostream>
#include <random>

#include "install_run_fixture.h"

namespace kx::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kFiles = 20;
constexpr int kKills = 50;

std::string contentOf(int file, const char* version) {
    std::string text;
    while (text.size() < 64 * 1024) {
        text += std::string(version) + " version of file " + std::to_string(file) + "\n";
    }
    return text;
}

class ReliabilityTest : public InstallRunTest {
  protected:
    // A CLIENT deployment compares no install-group stamps: every start checks every file.
    ReliabilityTest() { deployment_.type = "CLIENT"; }

    fs::path target(int file) const {
        return setup_.programFolder() / ("file" + std::to_string(file) + ".dat");
    }
    // Runs the install in a child process, killed after `killAfter` unless it ended before
    // (never, without). Returns how long it ran.
    Clock::duration runInChild(std::optional<Clock::duration> killAfter) {
        const auto start = Clock::now();
        const pid_t child = fork();
        if (child == 0) {
            run();
            _exit(view_.isUnloaded() && boxes_.shown().empty() ? 0 : 1);
        }
        int status = 0;
        while (waitpid(child, &status, killAfter ? WNOHANG : 0) == 0) {
            if (Clock::now() - start >= *killAfter) {
                kill(child, SIGKILL);
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        EXPECT_TRUE(killAfter || (WIFEXITED(status) && WEXITSTATUS(status) == 0));
        return Clock::now() - start;
    }
};

TEST_F(ReliabilityTest, KilledRunsLeaveEveryTargetOldOrNewAndTheNextRunCompletes) {
    std::map<std::string, std::string> files;
    for (int i = 0; i < kFiles; ++i) {
        files["file" + std::to_string(i) + ".dat"] = contentOf(i, "new");
    }
    publish(files, {"--version", "1.0"});
    prepareLauncher();
    const auto oldTargets = [&] {
        for (int i = 0; i < kFiles; ++i) {
            writeFile(target(i), contentOf(i, "old"));
        }
    };
    oldTargets();
    const Clock::duration whole = runInChild(std::nullopt);
    std::mt19937 random(20240607);
    std::uniform_int_distribution<Clock::rep> moment(0, whole.count());
    int midUpdate = 0;  // kills after which some targets were new and some old
    for (int kill = 0; kill < kKills; ++kill) {
        oldTargets();
        runInChild(Clock::duration(moment(random)));
        int renewed = 0;
        for (int i = 0; i < kFiles; ++i) {
            const std::string content = readFile(target(i));
            ASSERT_TRUE(content == contentOf(i, "old") || content == contentOf(i, "new"))
                << "file " << i << " after kill " << kill << " holds " << content.size()
                << " bytes";
            renewed += content == contentOf(i, "new") ? 1 : 0;
        }
        midUpdate += renewed > 0 && renewed < kFiles ? 1 : 0;
    }
    std::cout << midUpdate << " of " << kKills << " kills came in the middle of the update\n";
    EXPECT_GT(midUpdate, 0);
    runInChild(std::nullopt);
    for (int i = 0; i < kFiles; ++i) {
        EXPECT_EQ(readFile(target(i)), contentOf(i, "new"));
        EXPECT_FALSE(
            fs::exists(setup_.programFolder() / ("." + target(i).filename().string() + ".kxnew")));
    }
}

}  // namespace
}  // namespace kx::test
