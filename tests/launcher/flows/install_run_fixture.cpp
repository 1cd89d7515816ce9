#include "tests/launcher/flows/install_run_fixture.h"

#include <sstream>
#include <thread>

#include "launcher/startup/launcher_state.h"
#include "launcher/update/install_time_stamps.h"
#include "platform/com/regsvr32.h"

namespace kx::test {

namespace fs = std::filesystem;

InstallRunTest::InstallRunTest() {
    std::ostringstream quiet;
    EXPECT_EQ(com::runRegsvr32({"/s", KX_BIN_DIR "/libkxcompression.so"}, quiet, quiet), 0);
    addServer("Main", "/bo/main");
    deployment_ = {.type = "BROKER", .description = "Broker", .path = "/bo/main", .group = 1};
}

void InstallRunTest::publish(const std::map<std::string, std::string>& files,
                             const std::vector<std::string>& options) {
    static int batch = 0;
    const fs::path staging = serverDir_ / ("staging" + std::to_string(++batch));
    fs::create_directories(staging);
    for (const auto& [name, content] : files) {
        writeFile(staging / name, content);
    }
    std::vector<std::string> args = {"--group", "1", staging.string()};
    args.insert(args.end(), options.begin(), options.end());
    admin("publish", args);
}

void InstallRunTest::addStartRow(const std::string& fileName, const std::string& location) {
    admin("add-start-row", {"--group", "1", fileName, "--location", location});
}

void InstallRunTest::prepareLauncher(const ConfigRows& config) {
    if (!form_) {
        addDeployment(deployment_);
        serve(relay_.url());
        relay_.forwardTo(serverUrl());
        startLauncher(config);
    }
}

int InstallRunTest::run(const ConfigRows& config) {
    prepareLauncher(config);
    return endCodeOf([&] {
        login("ACME", "ALICE", "s3cret");
        view_.tickInstallTimer();
    });
}

fs::path InstallRunTest::stampFile() {
    return launcher::installTimeStampPath("INSTALL_1");
}

std::string recordingScript(const fs::path& record, int exitCode) {
    return "#!/bin/sh\n{ pwd; for a in \"$@\"; do echo \"$a\"; done; } > '" + record.string() +
           ".part'\nmv '" + record.string() + ".part' '" + record.string() + "'\nexit " +
           std::to_string(exitCode) + "\n";
}

std::string awaitRecord(const fs::path& file) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!fs::exists(file) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return fs::exists(file) ? readFile(file) : "<no record at " + file.string() + ">";
}

}  // namespace kx::test
