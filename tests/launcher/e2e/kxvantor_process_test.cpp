// The real KXVantor program started as a new user would start it: copied with its fonts into an
// empty program folder, with an empty home and data folder, every machine location redirected,
// on the offscreen platform. The test ends it as the session's end does (SIGTERM, which unloads
// the window and so saves the remembered login) and reads what it left: the folders it made and
// the settings it wrote. The program is started with SIGTERM blocked and sent the signal at once:
// it waits until the program has set up its handling (before the window loads), and the unload
// it causes runs once the loaded window handles events. What the window showed is read back from
// those settings: on a shared machine the Login is never remembered, so a configuration that says
// "shared" shows there.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "config.h"
#include "fonts.h"
#include "launcher_test_setup.h"
#include "scoped_env.h"
#include "settings.h"
#include "temp_dir.h"

namespace kx::launcher {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr auto kBound = 30s;

std::string stored(const std::string& key) {
    return GetSetting("KXVantor", "LoginInfo", key, "<unset>");
}

// Every entry under `folder`, as paths relative to it.
std::set<std::string> treeOf(const fs::path& folder) {
    std::set<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        entries.insert(fs::relative(entry.path(), folder).string());
    }
    return entries;
}

// Polls `condition` until it holds or the bound passes.
template <typename Condition>
bool eventually(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + kBound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(10ms);
    }
    return true;
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
        SaveSetting("KXVantor", "LoginInfo", "FilerCode", "ACME");
        SaveSetting("KXVantor", "LoginInfo", "Login", "JSMITH");
        SaveSetting("KXVantor", "LoginInfo", "Remember", "1");
    }

    fs::path program() const { return root / "program"; }
    fs::path data() const { return root / "data"; }

    // Starts the program with `argument`, ends it as the session's end does, and returns its
    // exit status.
    int runUntilLoadedThenEnd(const std::string& argument) {
        std::vector<std::string> environment = {
            "HOME=" + (root / "home").string(),
            "XDG_DATA_HOME=" + data().string(),
            "XDG_CONFIG_HOME=" + (root / "config").string(),
            "XDG_CACHE_HOME=" + (root / "cache").string(),
            "XDG_RUNTIME_DIR=" + (root / "runtime").string(),
            "TMPDIR=" + (root / "runtime").string(),
            "QT_QPA_PLATFORM=offscreen",
            "KX_MACHINE_REGISTRY=" + registry.machineFile(),
            "KX_USER_REGISTRY=" + registry.userFile(),
            "KX_SYSTEM_DIR=" + (root / "machine/system").string(),
            "KX_WINDOWS_DIR=" + (root / "machine/windows").string(),
            "KX_COMMON_FILES_DIR=" + (root / "machine/common").string(),
            "KX_TOKEN_DIR=" + (root / "machine/token").string(),
            "PATH=/usr/bin:/bin",
        };
        const std::string executable = (program() / "KXVantor").string();
        std::vector<std::string> arguments = {executable};
        if (!argument.empty()) {
            arguments.push_back(argument);
        }
        const pid_t pid = spawn(executable, arguments, environment);
        if (pid <= 0) {
            ADD_FAILURE() << "cannot start " << executable;
            return -1;
        }
        int status = 0;
        kill(pid, SIGTERM);
        const bool ended = eventually([&] { return waitpid(pid, &status, WNOHANG) == pid; });
        if (!ended) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            ADD_FAILURE() << "the program did not end: " << test::readFile(root / "output.txt");
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    test::TempDir root;
    test::ScopedRegistry registry;
    std::set<std::string> programFiles;

  private:
    pid_t spawn(const std::string& executable, const std::vector<std::string>& arguments,
                const std::vector<std::string>& environment) const {
        std::vector<char*> argv;
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (const std::string& variable : environment) {
            envp.push_back(const_cast<char*>(variable.c_str()));
        }
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string output = (root / "output.txt").string();
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        posix_spawn_file_actions_addchdir_np(&actions, (root / "home").c_str());
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t blocked;
        sigemptyset(&blocked);
        sigaddset(&blocked, SIGTERM);
        posix_spawnattr_setsigmask(&attributes, &blocked);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
        pid_t pid = -1;
        const int failure =
            posix_spawn(&pid, executable.c_str(), &actions, &attributes, argv.data(), envp.data());
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        return failure == 0 ? pid : -1;
    }
};

TEST_F(KXVantorProcess, WithoutTheSwitchTheDataStaysInTheProgramFolderAndItsConfigurationIsRead) {
    test::writeLauncherConfig(program() / kConfigFileName, {{"SharedEnvironment", "true"}});

    EXPECT_EQ(runUntilLoadedThenEnd(""), 0);

    std::set<std::string> expected = programFiles;
    expected.insert({kConfigFileName, "Temp"});
    EXPECT_EQ(treeOf(program()), expected);
    EXPECT_TRUE(treeOf(data()).empty());
    EXPECT_TRUE(treeOf(root / "home").empty());
    // The shared machine kept the Filer Code and forgot the Login and the tick.
    EXPECT_EQ(stored("FilerCode"), "ACME");
    EXPECT_EQ(stored("Login"), "");
    EXPECT_EQ(stored("Remember"), "0");
    EXPECT_EQ(stored("Password"), "");
}

TEST_F(KXVantorProcess, TheSwitchMakesTheUserDataFoldersOnceAndReadsTheConfigurationThere) {
    const fs::path dataRoot = data() / "Kestrix" / "Kestrix Vantor";
    // A configuration beside the program does not count once the switch is on.
    test::writeLauncherConfig(program() / kConfigFileName, {{"SharedEnvironment", "TRUE"}});
    programFiles.insert(kConfigFileName);

    EXPECT_EQ(runUntilLoadedThenEnd("USEPROFILE"), 0);

    const std::set<std::string> folders = {"Kestrix", "Kestrix/Kestrix Vantor",
                                           "Kestrix/Kestrix Vantor/Temp"};
    EXPECT_EQ(treeOf(data()), folders);
    EXPECT_EQ(treeOf(program()), programFiles);
    // Not shared: the remembered login came back into the boxes and was saved again as it was.
    EXPECT_EQ(stored("Login"), "JSMITH");
    EXPECT_EQ(stored("Remember"), "1");

    // The next start finds the folders and reads the configuration placed in them.
    test::writeLauncherConfig(dataRoot / kConfigFileName, {{"SharedEnvironment", " True "}});
    EXPECT_EQ(runUntilLoadedThenEnd("-useprofile"), 0);

    std::set<std::string> withConfig = folders;
    withConfig.insert("Kestrix/Kestrix Vantor/" + std::string(kConfigFileName));
    EXPECT_EQ(treeOf(data()), withConfig);
    EXPECT_EQ(stored("FilerCode"), "ACME");
    EXPECT_EQ(stored("Login"), "");
    EXPECT_EQ(stored("Remember"), "0");
}

}  // namespace
}  // namespace kx::launcher
