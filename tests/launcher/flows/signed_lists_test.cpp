// Signed install lists in whole starts against kxserver with a signing key: a list rewritten on
// its way by a relay, and a file that does not match its signed SHA-256, install nothing of
// theirs while the installed application still starts; without a trusted key the same rewritten
// list is taken as it always was.

#include <unistd.h>

#include <gtest/gtest.h>

#include "launcher/startup/launcher_state.h"
#include "launcher/update/install_messages.h"
#include "tests/launcher/flows/install_run_fixture.h"
#include "tests/support/registry_value.h"

namespace kx::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTrustedKeys = "SOFTWARE\\Kestrix\\KXVantor\\TrustedUpdateKeys";

// The debug log of this test program, in a file of its own: the log reads its switch once per
// process, so it is set before any test runs.
const struct DebugLogFile {
    DebugLogFile()
        : path(fs::temp_directory_path() /
               ("kx-flow-debug-" + std::to_string(::getpid()) + ".log")) {
        ::setenv("KX_DEBUG_LOG", path.c_str(), 1);
    }
    ~DebugLogFile() {
        std::error_code ignored;
        fs::remove(path, ignored);
    }
    fs::path path;
} g_debugLog;

class SignedListsTest : public InstallRunTest {
  protected:
    SignedListsTest() {
        deployment_.type = "CLIENT";  // no install-group stamps: every start checks every file
        trustTheCatalogsKey();
        publish({{"app.sh", recordingScript(started_)}, {"data.txt", "one"}}, {"--version", "1.0"});
        addStartRow("app.sh");
    }

    void trustTheCatalogsKey() const {
        const std::string line = admin("signing-key");
        writeRegistryValue(registry::Hive::LocalMachine, kTrustedKeys, "Vendor",
                           line.substr(0, line.find('\n')));
    }
    // One start; whether it started the application.
    bool start() {
        fs::remove(started_);
        EXPECT_EQ(run(), -1) << shownPrompt(0);
        return !awaitRecord(started_).starts_with("<no record");
    }
    std::string data() const { return readFile(target("data.txt")); }

    const fs::path started_ = serverDir_ / "started.txt";
};

TEST_F(SignedListsTest, OnlyWhatTheKeySignedIsInstalledAndTheInstalledApplicationStarts) {
    ASSERT_TRUE(start());
    EXPECT_EQ(data(), "one");
    EXPECT_TRUE(boxes_.shown().empty());

    publish({{"data.txt", "two"}}, {"--version", "2.0"});
    relay_.rewriteAnswers({{"FileVersion='2.0'", "FileVersion='2.1'"}});
    EXPECT_TRUE(start());
    EXPECT_EQ(data(), "one");
    EXPECT_EQ(shownPrompt(0), launcher::kUnverifiedUpdates);
    EXPECT_NE(readFile(g_debugLog.path)
                  .find("install list refused, nothing of it is installed: " + relay_.url() +
                        "/bo/main/CLIENT/InstallFiles/" +
                        "INSTALL_1.minisig: the signature does not match"),
              std::string::npos)
        << readFile(g_debugLog.path);

    registry::RegDeleteTree(registry::Hive::LocalMachine, kTrustedKeys);
    EXPECT_TRUE(start());
    EXPECT_EQ(data(), "two") << "no trusted key: the list is taken as it comes";

    trustTheCatalogsKey();
    publish({{"data.txt", "three"}}, {"--version", "3.0"});
    relay_.spoilDownload("data.txt", DownloadFault::Tampered);
    EXPECT_TRUE(start());
    EXPECT_EQ(data(), "two");
    EXPECT_EQ(boxes_.shown().size(), 2u);
    EXPECT_TRUE(shownPrompt(1).starts_with(launcher::kDownloadErrorPrefix)) << shownPrompt(1);
}

TEST_F(SignedListsTest, APatchesCellChangedOrDroppedOnItsWayIsRefused) {
    const std::string first = scrambledBytes(0, 200000);
    publish({{"big.bin", first}}, {"--version", "1.0"});
    ASSERT_TRUE(start());
    publish({{"big.bin", first + "and more"}}, {"--version", "2.0"});
    std::uintmax_t patchSize = 0;
    for (const auto& entry : fs::directory_iterator(catalog() / "files" / "1")) {
        if (entry.path().extension() == ".kxpatch") {
            patchSize = entry.file_size();
        }
    }
    ASSERT_GT(patchSize, 0U);
    const std::string size = ":" + std::to_string(patchSize) + ":";
    relay_.rewriteAnswers({{size, ":" + std::to_string(patchSize + 1) + ":"}});
    EXPECT_TRUE(start());
    relay_.rewriteAnswers({{"name='Patches'", "name='Unknown'"}, {"Patches='", "Unknown='"}});
    EXPECT_TRUE(start());
    EXPECT_EQ(readFile(target("big.bin")), first);
    EXPECT_EQ(boxes_.shown().size(), 2U);
    EXPECT_EQ(shownPrompt(1), launcher::kUnverifiedUpdates);

    relay_.rewriteAnswers({});
    EXPECT_TRUE(start());
    EXPECT_EQ(readFile(target("big.bin")), first + "and more");
}

}  // namespace
}  // namespace kx::test
