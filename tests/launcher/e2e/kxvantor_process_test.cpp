// The real KXVantor program started as a new user would start it: copied with its fonts into an
// empty program folder, with an empty home and data folder, every machine location redirected,
// on the offscreen platform. The test ends it as the session's end does (SIGTERM, which unloads
// the window and so saves the remembered login) and reads what it left: the folders it made and
// the settings it wrote. The program is started with SIGTERM blocked and sent the signal at once:
// it waits until the program has set up its handling (before the window loads), and the unload
// it causes runs once the loaded window handles events. What the window showed is read back from
// those settings: on a shared machine the Login is never remembered, so a configuration that says
// "shared" shows there.
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "launcher/startup/config.h"
#include "launcher/startup/fonts.h"
#include "tests/launcher/e2e/blocked_termination.h"
#include "tests/launcher/login/launcher_test_setup.h"
#include "tests/support/child_process.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_dir.h"

namespace kx::launcher {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The remembered FilerCode, Login, Remember and Password.
std::vector<std::string> storedLogin() {
    std::vector<std::string> values;
    for (const char* key : {"FilerCode", "Login", "Remember", "Password"}) {
        values.push_back(test::rememberedLogin(key));
    }
    return values;
}

// Every entry under `folder`, as paths relative to it.
std::set<std::string> treeOf(const fs::path& folder) {
    std::set<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        entries.insert(fs::relative(entry.path(), folder).string());
    }
    return entries;
}

class KXVantorProcess : public ::testing::Test {
  protected:
    KXVantorProcess() {
        for (const char* folder : {"program", "home", "data", "config", "cache", "runtime"}) {
            fs::create_directories(root / folder);
        }
        fs::permissions(root / "runtime", fs::perms::owner_all, fs::perm_options::replace);
        fs::copy_file(fs::path(KX_BIN_DIR) / "KXVantor", program() / "KXVantor");
        for (const char* font : kLauncherFontFiles) {
            const fs::path delivered = fs::path(KX_BIN_DIR) / font;
            if (fs::exists(delivered)) {
                fs::copy_file(delivered, program() / font);
            }
        }
        programFiles = treeOf(program());
        test::storeRememberedLogin("ACME", "JSMITH", "1");
    }

    fs::path program() const { return root / "program"; }
    fs::path data() const { return root / "data"; }

    // Starts the program with `argument`, ends it as the session's end does, and returns its
    // exit status.
    int runUntilLoadedThenEnd(const std::string& argument) {
        std::vector<std::string> command = {"env", "-i", "--chdir=" + (root / "home").string(),
                                            "QT_QPA_PLATFORM=offscreen", "PATH=/usr/bin:/bin"};
        // Every folder the program takes from its environment lies under `root`.
        for (const std::string folder :
             {"HOME=home", "XDG_DATA_HOME=data", "XDG_CONFIG_HOME=config", "XDG_CACHE_HOME=cache",
              "XDG_RUNTIME_DIR=runtime", "TMPDIR=runtime", "KX_SYSTEM_DIR=machine/system",
              "KX_WINDOWS_DIR=machine/windows", "KX_COMMON_FILES_DIR=machine/common",
              "KX_TOKEN_DIR=machine/token"}) {
            const auto name = folder.find('=') + 1;
            command.push_back(folder.substr(0, name) + (root / folder.substr(name)).string());
        }
        command.push_back("KX_MACHINE_REGISTRY=" + registry.machineFile());
        command.push_back("KX_USER_REGISTRY=" + registry.userFile());
        command.push_back((program() / "KXVantor").string());
        if (!argument.empty()) {
            command.push_back(argument);
        }
        const fs::path output = root / "output.txt";
        pid_t pid = 0;
        {
            const test::BlockedTermination blocked;
            pid = test::startProcess(command, output, output);
        }
        const int code = test::stopProgram(pid, SIGTERM, 30s);
        EXPECT_NE(code, -1) << "the program did not end: " << test::readFile(output);
        return code;
    }

    test::TempDir root;
    test::ScopedRegistry registry;
    std::set<std::string> programFiles;
};

// Without the switch the data stays in the program folder and the configuration there is read;
// with it, the user data folders are made once and only the configuration there counts.
TEST_F(KXVantorProcess, TheSwitchMovesTheDataAndTheConfigurationIntoTheUserDataFolders) {
    test::writeLauncherConfig(program() / kConfigFileName, {{"SharedEnvironment", "true"}});
    programFiles.insert(kConfigFileName);

    EXPECT_EQ(runUntilLoadedThenEnd(""), 0);
    std::set<std::string> expected = programFiles;
    expected.insert("Temp");
    EXPECT_EQ(treeOf(program()), expected);
    EXPECT_TRUE(treeOf(data()).empty());
    EXPECT_TRUE(treeOf(root / "home").empty());
    // The shared machine kept the Filer Code and forgot the Login and the tick.
    const std::vector<std::string> shared = {"ACME", "", "0", ""};
    EXPECT_EQ(storedLogin(), shared);

    fs::remove(program() / "Temp");
    test::storeRememberedLogin("ACME", "JSMITH", "1");
    EXPECT_EQ(runUntilLoadedThenEnd("USEPROFILE"), 0);
    const fs::path dataRoot = data() / "Kestrix" / "Kestrix Vantor";
    std::set<std::string> folders = {"Kestrix", "Kestrix/Kestrix Vantor",
                                     "Kestrix/Kestrix Vantor/Temp"};
    EXPECT_EQ(treeOf(data()), folders);
    EXPECT_EQ(treeOf(program()), programFiles);
    // Not shared: the remembered login came back into the boxes and was saved again as it was.
    EXPECT_EQ(storedLogin(), (std::vector<std::string>{"ACME", "JSMITH", "1", ""}));

    // The next start finds the folders and reads the configuration placed in them.
    test::writeLauncherConfig(dataRoot / kConfigFileName, {{"SharedEnvironment", " True "}});
    EXPECT_EQ(runUntilLoadedThenEnd("-useprofile"), 0);
    folders.insert("Kestrix/Kestrix Vantor/" + std::string(kConfigFileName));
    EXPECT_EQ(treeOf(data()), folders);
    EXPECT_EQ(storedLogin(), shared);
}

}  // namespace
}  // namespace kx::launcher
