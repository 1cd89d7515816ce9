// Servers and programs that a test starts end with the test, however it ends.

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace kx::test {
namespace {

// True once the process has ended (a zombie that nobody has reaped yet counts as ended).
bool hasEnded(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return true;
    }
    const auto state = line.find(") ");
    return state != std::string::npos && line[state + 2] == 'Z';
}

bool endsWithin(pid_t pid, std::chrono::seconds time) {
    const auto deadline = std::chrono::steady_clock::now() + time;
    while (!hasEnded(pid) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return hasEnded(pid);
}

// Every program a test starts goes through the one tied starter, kxserver included.
TEST(TestProcesses, EndWhenTheTestThatStartedThemIsKilled) {
    TempDir scratch;
    const ChildResult test = runInChild([&] {
        emit(std::to_string(startProcess({"sleep", "60"}, scratch / "out", scratch / "out")));
        raise(SIGKILL);
    });
    EXPECT_EQ(test.signal, SIGKILL);
    const pid_t sleeper = std::atoi(test.output.c_str());
    ASSERT_GT(sleeper, 0) << test.output;
    EXPECT_TRUE(endsWithin(sleeper, std::chrono::seconds(5)));
    kill(sleeper, SIGKILL);
}

}  // namespace
}  // namespace kx::test
