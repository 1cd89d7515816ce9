// Updates by patch against the real kxserver through a relay that counts and spoils downloads:
// a file published again arrives as a patch from the version the machine holds, byte for byte
// the new version; whatever goes wrong with a patch ends in one download of the whole file and
// no message; a list without the Patches column (an older server) is installed as before.

#include <gtest/gtest.h>

#include "launcher/startup/launcher_state.h"
#include "platform/files/sha256_file.h"
#include "tests/launcher/flows/install_run_fixture.h"

namespace kx::test {
namespace {

namespace fs = std::filesystem;
constexpr std::size_t kSize = 300000;

// A later build of `content`: a few bytes changed, a piece inserted.
std::string changed(std::string content, std::size_t seed) {
    content[1000 + seed] ^= 0x5A;
    content.insert(kSize / 2, "a new function " + std::to_string(seed));
    return content;
}

class PatchUpdatesTest : public InstallRunTest {
  protected:
    PatchUpdatesTest() { deployment_.type = "CLIENT"; }  // every start checks every file

    fs::path served(const std::string& name) const { return catalog() / "files" / "1" / name; }
    // The patch the server offers for `name` (the only one, from its first version).
    std::string patchOf(const std::string& name) const {
        for (const auto& entry : fs::directory_iterator(catalog() / "files" / "1")) {
            const std::string file = entry.path().filename().string();
            if (file.starts_with(name + ".") && file.ends_with(".kxpatch")) {
                return file;
            }
        }
        return "<no patch of " + name + ">";
    }
    // The Patches cell of `name` as the server writes it.
    std::string cellOf(const std::string& name) const {
        const std::string patch = patchOf(name);
        return *files::sha256FileHex(target(name).string()) + ":" +
               std::to_string(fs::file_size(served(patch))) + ":" +
               *files::sha256FileHex(served(patch).string()) + ":1/" + patch;
    }
    // Installs the first versions of `names` (files of one seed begin alike), then publishes
    // the second ones, which all differ.
    std::map<std::string, std::string> updateOf(const std::map<std::string, std::size_t>& names) {
        std::map<std::string, std::string> first;
        std::map<std::string, std::string> second;
        for (const auto& [name, seed] : names) {
            first[name] = scrambledBytes(seed * 7919, kSize);
            second[name] = changed(first[name], second.size());
        }
        publish(first, {"--version", "1.0"});
        EXPECT_EQ(run(), -1);
        publish(second, {"--version", "2.0"});
        return second;
    }
};

TEST_F(PatchUpdatesTest, AFilePublishedAgainArrivesAsAPatchByteForByte) {
    const auto second = updateOf({{"app.bin", 0}});
    const std::uint64_t before = relay_.downloadBytesSent();
    ASSERT_EQ(run(), -1);
    EXPECT_EQ(readFile(target("app.bin")), second.at("app.bin"));
    EXPECT_EQ(requestsFor(patchOf("app.bin")).size(), 1U);
    EXPECT_EQ(requestsFor("app.bin").size(), 1U) << "only the first start fetched the whole file";
    EXPECT_LT(relay_.downloadBytesSent() - before, kSize / 20);
    EXPECT_TRUE(boxes_.shown().empty());
    EXPECT_EQ(fs::status(target("app.bin")).permissions(), fs::perms(0644));
    EXPECT_TRUE(tempFiles({".kxpatch", ".kxpart"}).empty());
}

TEST_F(PatchUpdatesTest, EveryPatchThatFailsEndsInOneWholeDownload) {
    const auto second = updateOf({{"corrupt.bin", 1},
                                  {"local.bin", 2},
                                  {"missing.bin", 3},
                                  {"same.bin", 4},
                                  {"wrong.bin", 4}});
    writeFile(target("local.bin"), "changed on this machine");
    relay_.spoilDownload(patchOf("corrupt.bin"), DownloadFault::Tampered);
    const std::string missing = patchOf("missing.bin");
    fs::remove(served(missing));
    // wrong.bin is offered same.bin's patch, which is whole and from the file the machine holds
    // (both began alike), but makes the wrong file.
    relay_.rewriteAnswers({{cellOf("wrong.bin"), cellOf("same.bin")}});
    ASSERT_EQ(run(), -1);
    for (const auto& [name, content] : second) {
        EXPECT_EQ(readFile(target(name)), content) << name;
        EXPECT_EQ(requestsFor(name).size(), name == "same.bin" ? 1U : 2U) << name;
    }
    EXPECT_EQ(requestsFor(patchOf("corrupt.bin")).size(), 1U)
        << "a spoiled patch is not tried again";
    EXPECT_EQ(requestsFor(missing).size(), 1U);
    EXPECT_EQ(requestsFor(patchOf("same.bin")).size(), 2U) << "for same.bin and for wrong.bin";
    EXPECT_EQ(requestsFor(patchOf("local.bin")).size(), 0U);
    EXPECT_TRUE(boxes_.shown().empty()) << shownPrompt(0);
    EXPECT_FALSE(launcher::Module1().NeedRestart);
}

TEST_F(PatchUpdatesTest, AListWithoutThePatchesColumnIsInstalledWhole) {
    const auto second = updateOf({{"app.bin", 0}});
    // What an older server sends: the column renamed is a column the launcher does not know.
    relay_.rewriteAnswers({{"name='Patches'", "name='Unknown'"}, {"Patches='", "Unknown='"}});
    ASSERT_EQ(run(), -1);
    EXPECT_EQ(readFile(target("app.bin")), second.at("app.bin"));
    EXPECT_EQ(requestsFor("app.bin").size(), 2U);
    EXPECT_EQ(requestsFor(patchOf("app.bin")).size(), 0U);
}

}  // namespace
}  // namespace kx::test
