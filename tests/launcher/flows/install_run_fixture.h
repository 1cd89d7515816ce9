#pragma once
// One install run against a real kxserver: the files of install group 1 published with
// kxserver's own command line, a BROKER deployment "Broker" of that group granted to ALICE, the
// server reached through a relay (which can spoil downloads and rewrite answers), and the run
// driven through the scripted window: login, then the install timer's tick, whose downloads and
// nested events run inside the scripted DoEvents.

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/launcher/flows/login_flow_fixture.h"

namespace kx::test {

class InstallRunTest : public LoginFlowTest {
  protected:
    InstallRunTest();

    // Writes `files` (name -> content; "x.ver" gives x its version) into a fresh folder and
    // publishes them to group 1 with the further `kxserver publish` options.
    void publish(const std::map<std::string, std::string>& files,
                 const std::vector<std::string>& options = {});
    void addStartRow(const std::string& fileName, const std::string& location = "KESTRIXDIR");

    // Adds the deployment, serves the catalog through the relay and loads the launcher window
    // with `config`; once.
    void prepareLauncher(const ConfigRows& config = {});
    // Prepares the launcher (first time only), logs in as ALICE and lets the install timer tick.
    // Returns the exit code when the crash capture ended the launcher, else -1.
    int run(const ConfigRows& config = {});

    // The stamp file of install group 1.
    static std::filesystem::path stampFile();
    // Where a row of KESTRIXDIR places `name`.
    std::filesystem::path target(const std::string& name) const;
    // The address of group 1's install file `name` that the relay serves and messages name.
    std::string urlOf(const std::string& name) const;
    // The GET requests for a path ending in "/`name`".
    std::vector<HttpRequest> requestsFor(const std::string& name) const;
    // The prompts of the message boxes shown, from the `from`th on.
    std::vector<std::string> prompts(std::size_t from = 0) const;
    // The names of the files in the Temp folder that end with one of `suffixes`.
    std::vector<std::string> tempFiles(const std::vector<std::string>& suffixes) const;

    RecordingRelay relay_;
    DeploymentSpec deployment_;
};

// `size` bytes that differ at every position from `seed` to seed, and compress poorly.
std::string scrambledBytes(std::size_t seed, std::size_t size);

// A program for start rows and installers: a shell script that writes its working folder and
// its arguments, one per line, into `record` and exits with `exitCode`.
std::string recordingScript(const std::filesystem::path& record, int exitCode = 0);

// Waits (bounded) until `file` exists and holds a complete record, and returns its content.
std::string awaitRecord(const std::filesystem::path& file);

}  // namespace kx::test
