// Downloads over a network that fails now and then, against the real kxserver through a relay
// that cuts, scripts and counts the answers: a download cut short goes on where it stopped, in
// the same run and at the next start, only under the row and the validator it was begun with;
// failures that may pass are tried again, others are reported at once.

#include <gtest/gtest.h>

#include <ctime>

#include "launcher/startup/launcher_state.h"
#include "launcher/update/install_messages.h"
#include "platform/files/download_part.h"
#include "platform/files/sha256_file.h"
#include "tests/launcher/flows/install_run_fixture.h"

namespace kx::test {
namespace {

namespace fs = std::filesystem;
constexpr std::size_t kSize = 300000;  // many reads of the transfer

// Bytes that differ at every position, from file to file and from `seed` to seed.
std::string contentOf(const std::string& name, std::size_t seed = 0) {
    return scrambledBytes(std::hash<std::string>{}(name) + seed, kSize);
}

class DownloadResumeTest : public InstallRunTest {
  protected:
    // The Range each request for `name` asked for ("-" for none).
    std::vector<std::string> rangesAsked(const std::string& name) const {
        std::vector<std::string> ranges;
        for (const HttpRequest& request : requestsFor(name)) {
            ranges.push_back(request.header("Range").empty() ? "-" : request.header("Range"));
        }
        return ranges;
    }
    // The lengths of the parts kept in TempDir, by the name of their file.
    std::map<std::string, std::uintmax_t> parts() const {
        std::map<std::string, std::uintmax_t> found;
        for (const std::string& name : tempFiles({".kxpart"})) {
            // "<file>.<16 hex digits>.kxpart"
            found[name.substr(0, name.size() - 24)] =
                fs::file_size(setup_.programFolder() / "Temp" / name);
        }
        return found;
    }
};

TEST_F(DownloadResumeTest, DownloadsGoOnWhereTheyStoppedOnlyUnderTheirRowAndValidator) {
    // Run 1: a-cut.bin (first in the list) is cut twice and finished; four more are cut and then
    // get no answer, so that their parts are kept; whole.bin arrives whole but a folder is in the
    // way.
    const std::vector<std::string> kept = {"changed.bin", "ignored.bin", "replaced.bin",
                                           "unrecorded.bin"};
    std::map<std::string, std::string> files = {{"a-cut.bin", contentOf("a-cut.bin")}};
    relay_.scriptDownloads("a-cut.bin", {"cut:1", "cut:100000"});
    std::vector<std::string> expected;
    std::map<std::string, std::uintmax_t> held = {{"whole.bin", kSize}};
    for (const std::string& name : kept) {
        files[name] = contentOf(name);
        held[name] = 5000;
        relay_.scriptDownloads(name, {"cut:5000", "", "", ""});
        expected.push_back(launcher::kDownloadErrorPrefix + urlOf(name));
    }
    publish(files, {"--version", "1.0"});
    publish({{"whole.bin", contentOf("whole.bin")}}, {"--version", "1.0"});
    fs::create_directories(target("whole.bin") / "in-the-way");
    ASSERT_EQ(run(), -1);
    expected.push_back(std::string(launcher::kInstallErrorOwnMachine) + launcher::kWillNowClose);
    EXPECT_EQ(prompts(), expected);
    EXPECT_EQ(readFile(target("a-cut.bin")), files["a-cut.bin"]);
    EXPECT_EQ(rangesAsked("a-cut.bin"),
              (std::vector<std::string>{"-", "bytes=1-", "bytes=100001-"}));
    EXPECT_EQ(rangesAsked("ignored.bin").size(), 4U) << "tried three times more";
    EXPECT_EQ(relay_.downloadBytesSent(), 2 * kSize + 4 * 5000) << "no byte came twice";
    EXPECT_EQ(parts(), held);

    // Run 2, a new start: one server ignores Range, one file was replaced on the server under the
    // same row, one row changed, one part lost its record, and the folder is out of the way.
    relay_.scriptDownloads("ignored.bin", {"ignore-range"});
    writeFile(catalog() / "files" / "1" / "replaced.bin", contentOf("replaced.bin", 1));
    publish({{"changed.bin", contentOf("changed.bin", 2)}}, {"--version", "2.0"});
    const files::DownloadPart unrecorded(
        (setup_.programFolder() / "Temp").string(), "unrecorded.bin",
        *files::sha256FileHex(catalog() / "files" / "1" / "unrecorded.bin"));
    writeFile(unrecorded.recordPath(), "KX download part 1\nurl elsewhere\n");
    fs::remove_all(target("whole.bin"));
    const std::size_t shownBefore = boxes_.shown().size();
    const std::uint64_t sentBefore = relay_.downloadBytesSent();
    launcher::Module1().NeedRestart = false;
    ASSERT_EQ(run(), -1);
    EXPECT_EQ(prompts(shownBefore),
              std::vector<std::string>{launcher::kDownloadErrorPrefix + urlOf("replaced.bin")});
    EXPECT_FALSE(fs::exists(target("replaced.bin"))) << "never pieced together";
    EXPECT_EQ(readFile(target("changed.bin")), contentOf("changed.bin", 2));
    for (const char* name : {"ignored.bin", "unrecorded.bin", "whole.bin"}) {
        EXPECT_EQ(readFile(target(name)), contentOf(name)) << name;
    }
    // (Each of them asked once: the bytes sent below.)
    for (const auto& [name, range] :
         std::map<std::string, std::string>{{"changed.bin", "-"},
                                            {"ignored.bin", "bytes=5000-"},
                                            {"replaced.bin", "bytes=5000-"},
                                            {"unrecorded.bin", "-"},
                                            {"whole.bin", "bytes=300000-"}}) {
        EXPECT_EQ(rangesAsked(name).back(), range) << name;
    }
    // The four; the whole part came free, and so did a-cut.bin, outdated at every start (it has
    // no version) but installed from itself, since it holds the row's content.
    EXPECT_EQ(relay_.downloadBytesSent() - sentBefore, 4 * kSize);
    EXPECT_TRUE(parts().empty()) << "no row keeps a part, and the changed row's is gone";
}

TEST_F(DownloadResumeTest, FailuresThatMayPassAreTriedAgainAndOthersReportedAtOnce) {
    // (Connections closed without an answer, and attempts running out, are in the test above.)
    std::map<std::string, std::string> files;
    for (const char* name : {"busy.bin", "looping.bin", "missing.bin", "moved.bin"}) {
        files[name] = contentOf(name);
    }
    publish(files, {"--version", "1.0"});
    const std::string end = "Content-Length: 0\r\nConnection: close\r\n\r\n";
    const auto redirect = [&](const std::string& name) {
        return "HTTP/1.1 302 Found\r\nLocation: " + urlOf(name) + "\r\n" + end;
    };
    // Retry-After as a date three seconds ahead, more than two from now whatever the fraction
    // of this second: the retry comes no earlier, however long the run takes to get there.
    char date[40];
    const auto dated = std::chrono::steady_clock::now();
    const std::time_t soon = std::time(nullptr) + 3;
    std::strftime(date, sizeof date, "%a, %d %b %Y %H:%M:%S GMT", std::gmtime(&soon));
    relay_.scriptDownloads(
        "busy.bin", {"HTTP/1.1 503 Busy\r\nRetry-After: " + std::string(date) + "\r\n" + end});
    relay_.scriptDownloads("moved.bin", {redirect("moved.bin")});
    relay_.scriptDownloads("looping.bin", std::vector<DownloadStep>(6, redirect("looping.bin")));
    relay_.scriptDownloads("missing.bin", {"HTTP/1.1 404 Not Found\r\n" + end});
    ASSERT_EQ(run(), -1);
    for (const char* name : {"busy.bin", "moved.bin"}) {
        EXPECT_EQ(readFile(target(name)), files[name]) << name;
        EXPECT_EQ(rangesAsked(name).size(), 2U) << name;
    }
    EXPECT_GE(requestsFor("busy.bin").at(1).received - dated, std::chrono::seconds(2))
        << "Retry-After";
    EXPECT_EQ(rangesAsked("looping.bin").size(), 6U) << "five redirects followed, not six";
    EXPECT_EQ(rangesAsked("missing.bin").size(), 1U);
    const std::string error = launcher::kDownloadErrorPrefix;
    EXPECT_EQ(prompts(),
              (std::vector<std::string>{error + urlOf("looping.bin"),
                                        error + urlOf("missing.bin") + launcher::kNotFoundLines}));
}

}  // namespace
}  // namespace kx::test
