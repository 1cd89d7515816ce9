// Servers and programs that a test starts end with the test, however it ends.

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "child_process.h"
#include "kxserver_harness.h"
#include "temp_dir.h"

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

TEST(TestProcesses, EndWhenTheTestThatStartedThemIsKilled) {
    TempDir scratch;
    kxserver({"init", (scratch / "catalog").string(), "--pbkdf2-iterations", "1000"});
    const ChildResult test = runInChild([&] {
        const ServeProcess server(scratch / "catalog");
        const pid_t sleeper = startProcess({"sleep", "60"}, scratch / "out", scratch / "out");
        emit(std::to_string(server.pid()) + " " + std::to_string(sleeper) + "\n");
        raise(SIGKILL);
    });
    EXPECT_EQ(test.signal, SIGKILL);
    std::istringstream output(test.output);
    pid_t started[2] = {0, 0};
    output >> started[0] >> started[1];
    for (const pid_t pid : started) {
        ASSERT_GT(pid, 0) << test.output;
        EXPECT_TRUE(endsWithin(pid, std::chrono::seconds(5))) << "process " << pid;
        kill(pid, SIGKILL);
    }
}

}  // namespace
}  // namespace kx::test
