// Downloads over a network that fails now and then, against the real kxserver through a relay
// that cuts, scripts and counts the answers: a download cut short goes on where it stopped, in
// the same run and at the next start, only under the row and the validator it was begun with;
// failures that may pass are tried again, others are reported at once.

#include <gtest/gtest.h>

#include <random>

#include "install_messages.h"
#include "install_run_fixture.h"
#include "launcher_state.h"
#include "sha256_file.h"

namespace kx::test {
namespace {

namespace fs = std::filesystem;
using launcher::Module1;
using Kind = DownloadStep::Kind;

constexpr std::size_t kSize = 300000;  // many reads of the transfer

DownloadStep cut(std::size_t bytes) {
    return {Kind::CutAfter, bytes, {}};
}

DownloadStep raw(std::string bytes) {
    return {Kind::Raw, 0, std::move(bytes)};
}

// Bytes that differ at every position, from file to file and from `seed` to seed.
std::string contentOf(const std::string& name, int seed = 0) {
    std::seed_seq sequence(name.begin(), name.end());
    std::mt19937 random(sequence);
    random.discard(static_cast<unsigned long long>(seed) * 7);
    std::string content(kSize, '\0');
    for (char& c : content) {
        c = static_cast<char>(random());
    }
    return content;
}

std::string sha256Of(const std::string& content) {
    files::Sha256 digest;
    digest.update(content.data(), content.size());
    return digest.finishHex();
}

class DownloadResumeTest : public InstallRunTest {
  protected:
    fs::path target(const std::string& name) const { return setup_.programFolder() / name; }
    fs::path temp() const { return setup_.programFolder() / "Temp"; }
    std::string urlOf(const std::string& name) const {
        return relay_.url() + "/bo/main/BROKER/InstallFiles/1/" + name;
    }
    // The download requests for `name`, from the `from`th on.
    std::vector<HttpRequest> downloadsOf(const std::string& name, std::size_t from = 0) const {
        std::vector<HttpRequest> found;
        for (const HttpRequest& request : relay_.downloads()) {
            if (request.path.ends_with("/" + name)) {
                found.push_back(request);
            }
        }
        found.erase(found.begin(), found.begin() + static_cast<long>(std::min(from, found.size())));
        return found;
    }
    // The lengths of the parts TempDir keeps, by the name of their file.
    std::map<std::string, std::uintmax_t> parts() const {
        std::map<std::string, std::uintmax_t> found;
        for (const auto& entry : fs::directory_iterator(temp())) {
            const std::string name = entry.path().filename().string();
            if (name.ends_with(".kxpart")) {
                // "<name>.<16 hex digits>.kxpart"
                found[name.substr(0, name.size() - 24)] = entry.file_size();
            }
        }
        return found;
    }
    // The prompts of the message boxes shown, from the `from`th on.
    std::vector<std::string> prompts(std::size_t from = 0) const {
        std::vector<std::string> shown;
        for (std::size_t i = from; i < boxes_.shown().size(); ++i) {
            shown.push_back(boxes_.shown()[i].prompt);
        }
        return shown;
    }
};

TEST_F(DownloadResumeTest, DownloadCutShortGoesOnWhereItStoppedUnderTheServersValidator) {
    const std::string content = contentOf("cut.bin");
    publish({{"cut.bin", content}}, {"--version", "1.0"});
    relay_.scriptDownloads("cut.bin", {cut(1), cut(100000)});
    ASSERT_EQ(run(), -1);
    EXPECT_TRUE(boxes_.shown().empty()) << shownPrompt(0);
    EXPECT_EQ(readFile(target("cut.bin")), content);
    const std::vector<HttpRequest> asked = downloadsOf("cut.bin");
    ASSERT_EQ(asked.size(), 3U);
    EXPECT_EQ(asked[0].header("Range"), "");
    EXPECT_EQ(asked[1].header("Range"), "bytes=1-");
    EXPECT_EQ(asked[2].header("Range"), "bytes=100001-");
    EXPECT_EQ(asked[2].header("If-Range"), "\"" + sha256Of(content) + "\"");
    EXPECT_EQ(relay_.downloadBytesSent(), content.size()) << "no byte came twice";
    EXPECT_TRUE(parts().empty());
}

TEST_F(DownloadResumeTest, PartsGoOnOnlyUnderTheirRowAndValidatorAndAcrossStarts) {
    const std::vector<std::string> names = {"changed.bin", "ignored.bin", "replaced.bin",
                                            "unrecorded.bin"};
    std::map<std::string, std::string> files;
    for (const std::string& name : names) {
        files[name] = contentOf(name);
        relay_.scriptDownloads(name, {cut(5000), raw(""), raw(""), raw("")});
    }
    publish(files, {"--version", "1.0"});
    // Put in place last, where a folder is in the way: the whole download is kept.
    publish({{"whole.bin", contentOf("whole.bin")}}, {"--version", "1.0"});
    fs::create_directories(target("whole.bin") / "in-the-way");
    ASSERT_EQ(run(), -1);
    std::vector<std::string> expected;
    for (const std::string& name : names) {
        expected.push_back(launcher::kDownloadErrorPrefix + urlOf(name));
        EXPECT_EQ(downloadsOf(name).size(), 4U) << name << " is tried four times";
    }
    expected.push_back(std::string(launcher::kInstallErrorOwnMachine) + launcher::kWillNowClose);
    EXPECT_EQ(prompts(), expected);
    EXPECT_EQ(parts(), (std::map<std::string, std::uintmax_t>{{"changed.bin", 5000},
                                                              {"ignored.bin", 5000},
                                                              {"replaced.bin", 5000},
                                                              {"unrecorded.bin", 5000},
                                                              {"whole.bin", kSize}}));

    // The next start: one server ignores Range, one file was replaced on the server under the
    // same row, one row changed, one part lost its record, and the folder is out of the way.
    relay_.scriptDownloads("ignored.bin", {{Kind::IgnoreRange, 0, {}}});
    const std::string replacement = contentOf("replaced.bin", 1);
    writeFile(catalog() / "files" / "1" / "replaced.bin", replacement);
    publish({{"changed.bin", contentOf("changed.bin", 2)}}, {"--version", "2.0"});
    for (const auto& entry : fs::directory_iterator(temp())) {
        if (entry.path().filename().string().starts_with("unrecorded.bin.") &&
            entry.path().extension() == ".rec") {
            writeFile(entry.path(), "KX download part 1\nurl elsewhere\n");
        }
    }
    fs::remove_all(target("whole.bin"));
    const std::size_t shownBefore = boxes_.shown().size();
    Module1().NeedRestart = false;  // a new start of the launcher
    const std::uint64_t sentBefore = relay_.downloadBytesSent();
    const std::size_t asked = relay_.downloads().size();
    ASSERT_EQ(run(), -1);
    EXPECT_EQ(prompts(shownBefore),
              std::vector<std::string>{launcher::kDownloadErrorPrefix + urlOf("replaced.bin")});
    EXPECT_EQ(readFile(target("ignored.bin")), files["ignored.bin"]);
    EXPECT_FALSE(fs::exists(target("replaced.bin"))) << "never pieced together";
    EXPECT_EQ(readFile(target("changed.bin")), contentOf("changed.bin", 2));
    EXPECT_EQ(readFile(target("unrecorded.bin")), files["unrecorded.bin"]);
    EXPECT_EQ(readFile(target("whole.bin")), contentOf("whole.bin"));
    const std::map<std::string, std::string> rangeAsked = {{"ignored.bin", "bytes=5000-"},
                                                           {"replaced.bin", "bytes=5000-"},
                                                           {"changed.bin", ""},
                                                           {"unrecorded.bin", ""},
                                                           {"whole.bin", "bytes=300000-"}};
    for (const auto& [name, range] : rangeAsked) {
        const auto requests = downloadsOf(name, name == "whole.bin" ? 1 : 4);
        ASSERT_EQ(requests.size(), 1U) << name;
        EXPECT_EQ(requests[0].header("Range"), range) << name;
    }
    EXPECT_EQ(relay_.downloads().size(), asked + rangeAsked.size());
    EXPECT_EQ(relay_.downloadBytesSent() - sentBefore, 4 * kSize) << "all but the whole part";
    EXPECT_EQ(parts(), (std::map<std::string, std::uintmax_t>{}))
        << "no row keeps a part, and the changed row's is gone";
}

TEST_F(DownloadResumeTest, FailuresThatMayPassAreTriedAgainAndOthersReportedAtOnce) {
    const std::vector<std::string> names = {"busy.bin", "reset.bin", "moved.bin", "missing.bin",
                                            "down.bin"};
    std::map<std::string, std::string> files;
    for (const std::string& name : names) {
        files[name] = contentOf(name);
    }
    publish(files, {"--version", "1.0"});
    const std::string close = "Content-Length: 0\r\nConnection: close\r\n\r\n";
    relay_.scriptDownloads("busy.bin",
                           {raw("HTTP/1.1 503 Service Unavailable\r\nRetry-After: 1\r\n" + close)});
    relay_.scriptDownloads("reset.bin", {raw("")});
    relay_.scriptDownloads(
        "moved.bin",
        {raw("HTTP/1.1 302 Found\r\nLocation: " + urlOf("moved.bin") + "\r\n" + close)});
    relay_.scriptDownloads("missing.bin", {raw("HTTP/1.1 404 Not Found\r\n" + close)});
    relay_.scriptDownloads("down.bin", {raw(""), raw(""), raw(""), raw("")});
    ASSERT_EQ(run(), -1);
    for (const char* name : {"busy.bin", "reset.bin", "moved.bin"}) {
        EXPECT_EQ(readFile(target(name)), files[name]) << name;
        EXPECT_EQ(downloadsOf(name).size(), 2U) << name;
    }
    const auto busy = downloadsOf("busy.bin");
    EXPECT_GE(busy[1].received - busy[0].received, std::chrono::seconds(1)) << "Retry-After";
    EXPECT_EQ(downloadsOf("missing.bin").size(), 1U);
    EXPECT_EQ(downloadsOf("down.bin").size(), 4U);
    EXPECT_EQ(prompts(),
              (std::vector<std::string>{launcher::kDownloadErrorPrefix + urlOf("down.bin"),
                                        launcher::kDownloadErrorPrefix + urlOf("missing.bin") +
                                            launcher::kNotFoundLines}));
    EXPECT_FALSE(fs::exists(stampFile()));
}

}  // namespace
}  // namespace kx::test
