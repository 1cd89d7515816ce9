// Signed install lists made with kxserver's command line: the key, a new signature with every
// change of a group, renewal and rotation, and minisign's own check of a served signature over
// the text of the served list.

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "child_process.h"
#include "install_list_text.h"
#include "kxserver_harness.h"
#include "minisign.h"
#include "recordset.h"
#include "server_fixture.h"

namespace kx::server::test {
namespace {

namespace fs = std::filesystem;
using kx::test::kxserver;

std::string firstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

TEST(KxserverSigning, SignsEveryChangeOfAGroupInAFormatMinisignVerifies) {
    kx::test::TempDir scratch;
    const fs::path dir = scratch / "srv";
    kxserver({"init", dir, "--pbkdf2-iterations", "1000"});
    kxserver({"add-user", dir, "ACME", "ALICE", "pw"});
    kxserver({"add-server", dir, "Main", "/bo/main"});
    const std::string key = firstLine(kxserver({"signing-key", dir}));
    EXPECT_EQ(fs::status(dir / "signing.key").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(firstLine(kxserver({"signing-key", dir})), key) << "printed again, not replaced";
    kxserver({"grant", dir, "ACME", "ALICE",
              firstLine(kxserver({"add-deployment", dir, "--type", "BROKER", "--description", "B",
                                  "--path", "/bo/main", "--group", "3"}))});
    const auto signature = [&] {
        std::string why;
        const auto file = signing::parseSignatureFile(
            kx::test::readFile(dir / "files" / "INSTALL_3.minisig"), why);
        EXPECT_TRUE(file) << why;
        return std::pair(file->keyId, *signing::parseTrustedComment(file->trustedComment));
    };
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    const auto created = signature().second;  // the new, empty group
    EXPECT_GE(created.sequence, now);
    const auto expiresInDays = [&](const signing::InstallListHeader& header, std::int64_t days) {
        return std::llabs(header.expiresAt - now - days * 86400) < 60;
    };
    EXPECT_TRUE(expiresInDays(created, 30));
    kx::test::writeFile(scratch / "pub" / "tool.bin", "tool");
    kxserver({"publish", dir, "--group", "3", scratch / "pub", "--version", "1.0"});
    const auto published = signature().second;
    EXPECT_GT(published.sequence, created.sequence);
    kxserver({"add-start-row", dir, "--group", "3", "tool.bin"});
    EXPECT_GT(signature().second.sequence, published.sequence);
    EXPECT_EQ(firstLine(kxserver({"resign", dir, "--days", "7"})), "signed 1 install list(s)");
    EXPECT_TRUE(expiresInDays(signature().second, 7));

    const std::string next = firstLine(kxserver({"signing-key", dir, "--next"}));
    EXPECT_NE(next, key);
    EXPECT_EQ(signature().first, signing::parsePublicKey(key)->id);
    EXPECT_EQ(firstLine(kxserver({"signing-key", dir, "--rotate"})), next);
    EXPECT_EQ(signature().first, signing::parsePublicKey(next)->id);
    EXPECT_FALSE(fs::exists(dir / "signing.next.key"));

    kx::test::ServeProcess server(dir);
    httplib::Client client(server.url());
    const std::string token =
        callAt(client, "/bo/main", "KXBO_V2.Init", "LoginUser", {"ACME", "ALICE", "pw", "ip"})
            .text();
    rowset::Recordset list;
    list.OpenXml(
        callAt(client, "/bo/main", "KXBO_V2.Init", "GetInstallFilesByIDXML", {token, 3, 0}).text());
    const signing::SignedRowLines columns(list.data());
    std::vector<std::string> lines;
    for (const rowset::Row& row : list.data().rows) {
        lines.push_back(columns.line(row));
    }
    kx::test::writeFile(scratch / "list.txt", signing::installListText(signature().second, lines));
    kx::test::writeFile(scratch / "list.txt.minisig",
                        client.Get("/bo/main/BROKER/InstallFiles/INSTALL_3.minisig")->body);
    if (!fs::exists("/usr/bin/minisign")) {
        GTEST_SKIP() << "minisign is not installed (scripts/install-deps.sh installs it)";
    }
    const auto verified = kx::test::runProcess(
        "minisign", {"-V", "-p", dir / "signing.pub", "-m", scratch / "list.txt"}, scratch.path());
    EXPECT_EQ(verified.exitCode, 0) << verified.out << verified.err;
}

}  // namespace
}  // namespace kx::server::test
