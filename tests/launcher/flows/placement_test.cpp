// Putting files in place: a target that cannot be replaced keeps its old version, the download
// stays and NeedRestart makes the next row show the install error; a temporary folder on another
// file system is copied from; a download placed again over its own link leaves nothing behind.

#include <sys/stat.h>

#include <cstdlib>

#include <gtest/gtest.h>

#include "launcher/startup/launcher_state.h"
#include "launcher/update/install_messages.h"
#include "platform/files/file_placement.h"
#include "tests/launcher/flows/install_run_fixture.h"

namespace kx::test {
namespace {

namespace fs = std::filesystem;
using launcher::Module1;

class PlacementTest : public InstallRunTest {};

TEST_F(PlacementTest, TargetThatCannotBeReplacedKeepsItsOldVersionAndSetsNeedRestart) {
    // A non-empty folder where the file (or its side file) goes cannot be renamed over, even by
    // an administrator.
    const fs::path kestrix = setup_.programFolder();
    publish({{"locked.txt", "new"}}, {"--version", "1.0"});
    publish({{"data.bin", "data"}}, {"--version", "1.0", "--install-type", "5"});
    writeFile(kestrix / "locked.txt" / "keep", "old");
    writeFile(kestrix / "data.bin.ver" / "keep", "old");
    for (const char* blocked : {"locked.txt", "data.bin.ver"}) {
        SCOPED_TRACE(blocked);
        Module1().NeedRestart = false;  // a fresh start of the launcher
        ASSERT_EQ(run(), -1);
        EXPECT_EQ(boxes_.shown().back().prompt,
                  std::string(launcher::kInstallErrorOwnMachine) + launcher::kWillNowClose);
        EXPECT_EQ(readFile(kestrix / blocked / "keep"), "old");
        EXPECT_FALSE(fs::exists(stampFile()));
        if (blocked == std::string("locked.txt")) {
            EXPECT_EQ(readFile(kestrix / "Temp" / "locked.txt"), "new") << "the download stays";
        }
        fs::remove_all(kestrix / blocked);
    }
    EXPECT_EQ(readFile(kestrix / "data.bin"), "data") << "its side file failed after it";
}

TEST_F(PlacementTest, DownloadOnAnotherFileSystemIsCopiedIntoPlace) {
    char shm[] = "/dev/shm/kxtest-XXXXXX";
    struct stat memory {
    }, disk{};
    if (::mkdtemp(shm) == nullptr || ::stat(shm, &memory) != 0 ||
        ::stat(setup_.programFolder().c_str(), &disk) != 0 || memory.st_dev == disk.st_dev) {
        GTEST_SKIP() << "no second file system for the temporary folder";
    }
    fs::create_directory_symlink(shm, setup_.programFolder() / "Temp");
    publish({{"copied.txt", "across"}, {"tool.sh", "#!/bin/sh\n"}}, {"--version", "1.0"});
    const int ended = run();
    fs::remove_all(shm);
    ASSERT_EQ(ended, -1);
    EXPECT_EQ(readFile(setup_.programFolder() / "copied.txt"), "across");
    // A copy gets the mode its content calls for, as a link does.
    EXPECT_EQ(fs::status(setup_.programFolder() / "tool.sh").permissions(),
              fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                  fs::perms::others_read | fs::perms::others_exec);
    EXPECT_TRUE(boxes_.shown().empty()) << shownPrompt(0);
}

TEST_F(PlacementTest, DownloadPlacedAgainOverItsOwnLinkLeavesNoTemporary) {
    const fs::path source = setup_.programFolder() / "Temp" / "linked.txt";
    const fs::path target = setup_.programFolder() / "linked.txt";
    writeFile(source, "content");
    for (int placement = 0; placement < 2; ++placement) {
        EXPECT_EQ(files::placeFileCopy(source.string(), target.string()), "");
    }
    EXPECT_EQ(readFile(target), "content");
    EXPECT_FALSE(fs::exists(files::temporaryPathFor(target.string())));
}

}  // namespace
}  // namespace kx::test
