// Downloads that go wrong, against a relay that spoils the server's answers: every failed file is
// reported and not installed, the others are, and a run with a failed file writes no stamps.

#include <gtest/gtest.h>

#include "launcher/startup/launcher_state.h"
#include "launcher/update/install_messages.h"
#include "tests/launcher/flows/install_run_fixture.h"

namespace kx::test {
namespace {

namespace fs = std::filesystem;
using launcher::Module1;

constexpr const char* kNotFoundTail =
    "\rInstallation of other files will be completed, but this may cause future errors.\r"
    "Please contact the Ostbrook technical support team about this matter.";

struct FileCase {
    std::string name;
    std::optional<DownloadFault> fault;
    const char* reportTail;     // nullptr: installed without a message
    std::string listedAs = {};  // the FileName the list gives it instead (a rewritten row)
};

using DownloadFaultsTest = InstallRunTest;

// Long enough for several chunks, different for every file.
std::string bodyOf(const std::string& name) {
    std::string body;
    for (int line = 0; body.size() < 9000; ++line) {
        body += name + " line " + std::to_string(line) + "\n";
    }
    return body;
}

TEST_F(DownloadFaultsTest, OnlyWholeSuccessfulAnswersAreInstalledAndEveryFailureIsReported) {
    const FileCase cases[] = {
        {"a-good.txt", std::nullopt, nullptr},
        {"b-missing.txt", std::nullopt, kNotFoundTail},
        {"c-server-error.txt", DownloadFault::ServerError, ""},
        {"d-short.txt", DownloadFault::ShortBody, ""},
        {"e-chunked.txt", DownloadFault::Chunked, nullptr},
        {"f-broken-chunked.txt", DownloadFault::BrokenChunked, ""},
        {"g-one-byte-chunk.txt", DownloadFault::OneByteChunk, nullptr},
        {"h-tampered.txt", DownloadFault::Tampered, ""},
        {"i-stale-download.txt", std::nullopt, nullptr},
        {"k-victim.txt", std::nullopt, "", "../k-victim.txt"},
        {"l-victim.txt", std::nullopt, "", ".."},
        {"m-victim.txt", std::nullopt, "", "sub\\\\m-victim.txt"},
    };
    std::map<std::string, std::string> files;
    RecordingRelay::TextEdits renames;
    for (const FileCase& c : cases) {
        files[c.name] = bodyOf(c.name);
        if (c.fault) {
            relay_.spoilDownload(c.name, *c.fault);
        }
        if (!c.listedAs.empty()) {
            renames.emplace_back("FileName='" + c.name + "'", "FileName='" + c.listedAs + "'");
        }
    }
    relay_.rewriteAnswers(renames);
    publish(files, {"--version", "1.0"});
    publish({{"j-compressed.txt", bodyOf("j")}}, {"--version", "1.0", "--compress"});
    fs::remove(catalog() / "files" / "1" / "b-missing.txt");  // the server's copy of group 1
    // A download file left bigger by an earlier run is emptied before the new body is written.
    writeFile(setup_.programFolder() / "Temp" / "i-stale-download.txt", std::string(20000, 'x'));
    ASSERT_EQ(run(), -1);

    std::vector<std::string> expectedReports;
    for (const FileCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.reportTail == nullptr) {
            EXPECT_EQ(readFile(target(c.name)), bodyOf(c.name));
        } else {
            EXPECT_FALSE(fs::exists(target(c.name)));
            expectedReports.push_back(launcher::kDownloadErrorPrefix + urlOf(c.name) +
                                      c.reportTail);
        }
    }
    EXPECT_EQ(readFile(target("j-compressed.txt")), bodyOf("j"));
    EXPECT_FALSE(fs::exists(Module1().TempDir + "/j-compressed.txt.cmp"));
    EXPECT_EQ(prompts(), expectedReports);
    for (const auto& box : boxes_.shown()) {
        EXPECT_EQ(box.title, "KXVantor");
    }
    EXPECT_TRUE(view_.isUnloaded());
    EXPECT_FALSE(fs::exists(stampFile())) << "the next start must check again";
    for (const auto& entry :
         fs::recursive_directory_iterator(setup_.programFolder().parent_path())) {
        EXPECT_EQ(entry.path().string().find("victim"), std::string::npos) << entry.path();
    }
}

}  // namespace
}  // namespace kx::test
