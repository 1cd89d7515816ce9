// The install run killed (SIGKILL) at random moments while it downloads, update after update:
// after every kill each target is, byte for byte, either its old or its new version; each start
// goes on where the killed one stopped, so that the bytes sent over all the starts stay within
// the files' length plus what a kill can lose (the transfer control's buffer, one read and the
// relay's piece in flight); and the start that is let finish puts every file in place with its
// row's digest and leaves no part behind.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <random>

#include "launcher/update/download_handler.h"
#include "tests/launcher/flows/install_run_fixture.h"

namespace kx::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kFiles = 4;
constexpr std::uint64_t kKills = 50;
constexpr std::size_t kFileSize = 2 << 20;
// The relay sends about 30 MB a second, so that a run spends much of its time downloading. The
// launcher built with the sanitizers reads several times slower: it gets a quarter of that, or
// the bytes waiting in the socket's buffers when it is killed would be counted as lost.
#if defined(__SANITIZE_ADDRESS__)
constexpr auto kPause = std::chrono::microseconds(2000);
#else
constexpr auto kPause = std::chrono::microseconds(500);
#endif

std::string contentOf(int file, int update) {
    std::string text;
    while (text.size() < kFileSize) {
        text += "update " + std::to_string(update) + " of file " + std::to_string(file) +
                ", line " + std::to_string(text.size()) + "\n";
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
    // Publishes update `update` of every file, as version (update + 1).0, recorded in side files.
    void publishUpdate(int update) {
        std::map<std::string, std::string> files;
        for (int i = 0; i < kFiles; ++i) {
            files[target(i).filename().string()] = contentOf(i, update);
        }
        publish(files, {"--version", std::to_string(update + 1) + ".0", "--install-type", "5"});
    }
    // Runs the install in a child process, killed after `killAfter` unless it ended before
    // (never, without). Returns whether it ended by itself, and how long it ran.
    std::pair<bool, Clock::duration> runInChild(std::optional<Clock::duration> killAfter) {
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
        const bool ended = WIFEXITED(status);
        EXPECT_TRUE(!ended || WEXITSTATUS(status) == 0) << "the run reported a failure";
        return {ended, Clock::now() - start};
    }
};

TEST_F(ReliabilityTest, KilledRunsLeaveEveryTargetOldOrNewAndTheNextGoesOnWhereTheyStopped) {
    publishUpdate(0);
    prepareLauncher();
    relay_.paceDownloads(kPause);
    const Clock::duration whole = runInChild(std::nullopt).second;
    std::uint64_t published = kFiles * kFileSize;
    // What a kill loses: the read the handler was writing and the piece on its way.
    const std::uint64_t losablePerKill = launcher::kDownloadReadBytes + kDownloadPiece;
    std::mt19937 random(20240607);
    // Within the first half of a whole run: starts that go on have less to do, so that an update
    // takes several kills before a start finishes it.
    std::uniform_int_distribution<Clock::rep> moment(0, whole.count() / 2);
    std::uint64_t killed = 0;
    int midUpdate = 0;  // kills after which some targets were new and some old
    for (int update = 1; killed < kKills; ++update) {
        publishUpdate(update);
        published += kFiles * kFileSize;
        for (;;) {
            const auto [ended, ran] = runInChild(Clock::duration(moment(random)));
            int renewed = 0;
            for (int i = 0; i < kFiles; ++i) {
                const std::string content = readFile(target(i));
                ASSERT_TRUE(content == contentOf(i, update - 1) || content == contentOf(i, update))
                    << "file " << i << " after kill " << killed << " holds " << content.size()
                    << " bytes";
                renewed += content == contentOf(i, update) ? 1 : 0;
            }
            if (ended) {
                ASSERT_EQ(renewed, kFiles) << "a run that ended by itself installed everything";
                break;
            }
            ++killed;
            midUpdate += renewed > 0 && renewed < kFiles ? 1 : 0;
        }
        EXPECT_TRUE(tempFiles({".kxpart"}).empty()) << "after update " << update;
    }
    EXPECT_GT(midUpdate, 0) << "no kill left an update half done";
    EXPECT_LE(relay_.downloadBytesSent(), published + killed * losablePerKill)
        << killed << " kills; a whole run " << std::chrono::duration<double>(whole).count() << " s";
    for (int i = 0; i < kFiles; ++i) {
        EXPECT_FALSE(
            fs::exists(setup_.programFolder() / ("." + target(i).filename().string() + ".kxnew")));
    }
}

}  // namespace
}  // namespace kx::test
