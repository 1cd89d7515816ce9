#include "tests/launcher/flows/install_run_fixture.h"

#include <algorithm>
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

fs::path InstallRunTest::target(const std::string& name) const {
    return setup_.programFolder() / name;
}

std::string InstallRunTest::urlOf(const std::string& name) const {
    return relay_.url() + "/bo/main/BROKER/InstallFiles/1/" + name;
}

std::vector<HttpRequest> InstallRunTest::requestsFor(const std::string& name) const {
    std::vector<HttpRequest> found;
    for (const HttpRequest& request : relay_.requests("GET")) {
        if (request.path.ends_with("/" + name)) {
            found.push_back(request);
        }
    }
    return found;
}

std::vector<std::string> InstallRunTest::prompts(std::size_t from) const {
    std::vector<std::string> shown;
    for (std::size_t i = from; i < boxes_.shown().size(); ++i) {
        shown.push_back(boxes_.shown()[i].prompt);
    }
    return shown;
}

std::vector<std::string> InstallRunTest::tempFiles(const std::vector<std::string>& suffixes) const {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(setup_.programFolder() / "Temp")) {
        const std::string name = entry.path().filename().string();
        if (std::ranges::any_of(suffixes, [&](const auto& s) { return name.ends_with(s); })) {
            found.push_back(name);
        }
    }
    return found;
}

std::string scrambledBytes(std::size_t seed, std::size_t size) {
    std::string content(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        content[i] = static_cast<char>((seed + i) * 2654435761U >> 13);
    }
    return content;
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
