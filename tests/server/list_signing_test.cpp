// Signed install lists made with kxserver's command line: the key, a new signature with every
// change of a group, renewal and rotation, and the minisign tool's check of a signature over the
// text of the group's rows.

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "platform/signing/install_list_text.h"
#include "platform/signing/minisign.h"
#include "server/lists.h"
#include "tests/server/server_fixture.h"
#include "tests/support/child_process.h"
#include "tests/support/kxserver_harness.h"
#include "tests/support/temp_dir.h"

namespace kx::server::test {
namespace {

namespace fs = std::filesystem;
using kx::test::kxserver;

TEST(KxserverSigning, SignsEveryChangeOfAGroupInAFormatMinisignVerifies) {
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    kx::test::TempDir scratch;
    const fs::path dir = emptyCatalog(scratch);
    kxserver({"add-server", dir, "Main", "/bo/main"});
    const std::string key = firstLine(kxserver({"signing-key", dir}));
    EXPECT_EQ(fs::status(dir / "signing.key").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(firstLine(kxserver({"signing-key", dir})), key) << "printed again, not replaced";
    kxserver({"add-deployment", dir, "--type", "BROKER", "--description", "B", "--path", "/bo/main",
              "--group", "3"});
    const auto signature = [&] {
        std::string why;
        const auto file = signing::parseSignatureFile(
            kx::test::readFile(dir / "files" / "INSTALL_3.minisig"), why);
        EXPECT_TRUE(file) << why;
        return std::pair(file->keyId, *signing::parseTrustedComment(file->trustedComment));
    };
    const auto created = signature().second;  // the new, empty group
    EXPECT_GE(created.sequence, now);
    EXPECT_LT(std::llabs(created.expiresAt - now - 30 * 86400), 60);
    kx::test::writeFile(scratch / "pub" / "tool.bin", "tool");
    kxserver({"publish", dir, "--group", "3", scratch / "pub", "--version", "1.0"});
    kxserver({"add-start-row", dir, "--group", "3", "tool.bin"});
    EXPECT_GT(signature().second.sequence, created.sequence + 1);  // signed anew by each
    EXPECT_EQ(firstLine(kxserver({"resign", dir, "--days", "7"})), "signed 1 install list(s)");
    EXPECT_LT(std::llabs(signature().second.expiresAt - now - 7 * 86400), 60);

    const std::string next = firstLine(kxserver({"signing-key", dir, "--next"}));
    EXPECT_NE(next, key);
    EXPECT_EQ(signature().first, signing::parsePublicKey(key)->id);
    EXPECT_EQ(firstLine(kxserver({"signing-key", dir, "--rotate"})), next);
    EXPECT_EQ(signature().first, signing::parsePublicKey(next)->id);
    EXPECT_FALSE(fs::exists(dir / "signing.next.key"));

    // The text of the group's rows, which the launcher builds alike from the list it is sent.
    const rowset::RowsetData list = installFilesRowset(Catalog(dir).installFiles(3, 0));
    const signing::SignedRowLines columns(list);
    std::vector<std::string> lines;
    for (const rowset::Row& row : list.rows) {
        lines.push_back(columns.line(row));
    }
    kx::test::writeFile(scratch / "list.txt",
                        signing::installListText(signature().second, columns.columns(), lines));
    fs::copy_file(dir / "files" / "INSTALL_3.minisig", scratch / "list.txt.minisig");
    if (!fs::exists("/usr/bin/minisign")) {
        GTEST_SKIP() << "minisign is not installed (scripts/install-deps.sh installs it)";
    }
    const auto verified = kx::test::runProcess(
        "minisign", {"-V", "-p", dir / "signing.pub", "-m", scratch / "list.txt"}, scratch.path());
    EXPECT_EQ(verified.exitCode, 0) << verified.out << verified.err;
}

}  // namespace
}  // namespace kx::server::test
