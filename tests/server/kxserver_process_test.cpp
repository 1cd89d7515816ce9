// The kxserver program as an administrator and the launcher meet it: the command line, signed
// install lists that the minisign tool verifies, and `serve` as a real process on a free port,
// stopped by SIGTERM whatever its clients do.

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/rowset/rowset_xml.h"
#include "platform/signing/install_list_text.h"
#include "platform/signing/minisign.h"
#include "server/catalog.h"
#include "server/lists.h"
#include "tests/server/server_fixture.h"
#include "tests/support/child_process.h"
#include "tests/support/kxserver_harness.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/temp_dir.h"

namespace kx::server::test {
namespace {

namespace fs = std::filesystem;
using kx::test::kxserver;
using kx::test::runKxserver;

TEST(KxserverCommandLine, BadUsageExitsWithTwoAndExplains) {
    kx::test::TempDir scratch;
    const std::string dir = (scratch / "c").string();
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        const char* message;
    };
    const Case cases[] = {
        {{}, 2, "kxserver serve DIR"},
        {{"frobnicate"}, 2, "unknown command"},
        {{"init", dir, "--bogus"}, 2, "unknown option --bogus"},
        {{"serve", dir, "--port", "70000"}, 2, "--port must be a whole number from 0 to 65535"},
        {{"reports", (scratch / "nothing").string()}, 1, "cannot open catalog"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? "no arguments" : c.args.front());
        const auto finished = runKxserver(c.args);
        EXPECT_EQ(finished.exitCode, c.exitCode);
        EXPECT_TRUE(contains(finished.err, c.message));
    }
}

TEST(KxserverCommandLine, BuildsACatalogThatServesTheLauncher) {
    kx::test::TempDir scratch;
    const std::string dir = emptyCatalog(scratch);
    EXPECT_EQ(runKxserver({"init", dir}).exitCode, 1);  // never overwrites a catalog
    ASSERT_EQ(runKxserver({"add-user", dir, "ACME", "ALICE", "-"}, "pw from stdin\n").exitCode, 0);
    kxserver({"add-server", dir, "Main", "/bo/main"});
    EXPECT_EQ(runKxserver({"add-server", dir, "Bad", "/bo/../x"}).exitCode, 1);
    const std::string id = firstLine(
        kxserver({"add-deployment", dir, "--type", "BROKER", "--description", "Main broker",
                  "--path", "/bo/main", "--group", "3", "--check-for-updates", "Y"}));
    kxserver({"grant", dir, "ACME", "ALICE", id});
    kx::test::writeFile(scratch / "pub" / "tool.bin", "tool");
    kx::test::writeFile(scratch / "pub" / "tool.bin.ver", "3.1.0.7\n");
    kx::test::writeFile(scratch / "pub" / "notes.txt", "notes");
    std::filesystem::create_directories(scratch / "pub" / "old");
    const std::string published =
        kxserver({"publish", dir, "--group", "3", (scratch / "pub").string(), "--install-type", "5",
                  "--version", "9.9.9.9"});
    EXPECT_TRUE(contains(published, "published 2 file(s)"));
    EXPECT_TRUE(contains(published, "not published: old (not a regular file)"));
    kxserver({"add-start-row", dir, "--group", "3", "tool.bin"});
    kxserver({"set-stamp", dir, "3", "2001-02-03T04:05:06"});
    EXPECT_EQ(runKxserver({"set-stamp", dir, "4", "x"}).exitCode, 1);

    kx::test::ServeProcess server(dir);
    ASSERT_EQ(server.url().rfind("http://127.0.0.1:", 0), 0u) << server.url();
    httplib::Client client(server.url());
    auto callBroker = [&](const char* method, const nlohmann::json& args) {
        return callAt(client, "/bo/main", "KXBO_V2.Init", method, args);
    };
    const auto token = callBroker("LoginUser", {"ACME", "ALICE", "pw from stdin", "ip"}).text();
    ASSERT_EQ(token.size(), 32u);
    EXPECT_EQ(callBroker("GetUpdateInfoLastUpdate", {token, "INSTALL_3"}).text(),
              "2001-02-03T04:05:06");
    ASSERT_TRUE(client.Get("/bo/main/BROKER/InstallFiles/3/tool.bin"));
    EXPECT_EQ(callBroker("WriteLoginNotes", {token, "Has admin access = Yes"}).status, 200);

    EXPECT_EQ(server.stop(SIGTERM), 0);
    const std::string log = kx::test::readFile(scratch / "serve.log");
    EXPECT_TRUE(contains(log, "POST /bo/main 200"));
    EXPECT_TRUE(contains(log, "GET /bo/main/BROKER/InstallFiles/3/tool.bin 200 4 "));
    EXPECT_FALSE(contains(log, "pw from stdin"));  // no bodies, no passwords

    EXPECT_EQ(nlohmann::json::parse(firstLine(kxserver({"notes", dir}))).at("notes"),
              "Has admin access = Yes");
}

// The demo catalog served: its listen queue holds a burst of connections while the program is
// stopped, it answers others while clients trickle headers, and an interrupt ends it however long
// they would go on. SIGTERM ends it as the catalog's own test shows.
TEST(KxserverServe, HoldsABurstAnswersOthersWhileClientsTrickleHeadersAndEndsOnInterrupt) {
    kx::test::TempDir scratch;
    const std::string dir = (scratch / "demo").string();
    kxserver({"demo", dir});
    kx::test::ServeProcess server(dir);
    // While the program is stopped only the kernel's listen queue takes connections.
    ASSERT_EQ(kill(server.pid(), SIGSTOP), 0);
    const auto port = static_cast<std::uint16_t>(server.port());
    std::vector<pollfd> sockets;
    for (int i = 0; i < 100; ++i) {
        sockets.push_back({kx::test::connectLoopback(port, SOCK_NONBLOCK), POLLOUT, 0});
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    std::size_t connected = 0;
    while (connected < sockets.size() && std::chrono::steady_clock::now() < deadline) {
        poll(sockets.data(), sockets.size(), 100);
        connected = static_cast<std::size_t>(std::count_if(
            sockets.begin(), sockets.end(), [](const pollfd& p) { return p.revents == POLLOUT; }));
    }
    kill(server.pid(), SIGCONT);
    EXPECT_EQ(connected, sockets.size());
    for (const auto& p : sockets) {
        close(p.fd);
    }

    // Clients that each sent the start of a request and add a header line every 300 ms, as a
    // slowloris client does.
    std::vector<std::unique_ptr<RawConnection>> slow;
    for (int i = 0; i < 100; ++i) {
        slow.push_back(std::make_unique<RawConnection>(server.port()));
        slow.back()->send("POST /bo/server1 HTTP/1.1\r\nHost: x\r\n");
    }
    const std::jthread trickle([&](const std::stop_token& stop) {
        while (!stop.stop_requested()) {
            for (auto& connection : slow) {
                connection->send("X-Slow: 1\r\n");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
    });
    // Bounds that only a locked-out server, or one waiting for its clients, misses.
    httplib::Client client(server.url());
    client.set_read_timeout(5, 0);
    const auto servers =
        callAt(client, "/", "KXBO_V2.Init", "GetLoginServersXML", {"DEMO", "DEMO"});
    EXPECT_EQ(rowset::readRowsetXml(servers.text()).rows.size(), 2u);
    EXPECT_EQ(callAt(client, "/bo/server2", "KXBOGeneral_V3.Init", "isValidLogin",
                     {"DEMO", "DEMO", "demo", true, false})
                  .body.at("result"),
              true);
    EXPECT_EQ(server.stop(SIGINT, std::chrono::seconds(5)), 0);
}

TEST(KxserverCommandLine, ListsReportsWithoutHoldingThemAllInMemory) {
#if defined(__SANITIZE_ADDRESS__)
    // A child's peak counts the memory it shared with this process before it started kxserver,
    // and the sanitizer keeps this process's freed blocks resident.
    GTEST_SKIP() << "peak memory is measured without the address sanitizer";
#endif
    kx::test::TempDir scratch;
    const std::string dir = emptyCatalog(scratch);
    constexpr int kReports = 96;
    {
        Catalog catalog(dir);
        for (int i = 0; i < kReports; ++i) {
            catalog.reports().add({{"Context", std::string(1 << 20, 'x')}}, "127.0.0.1", 0);
        }
    }
    const auto listed = runKxserver({"reports", dir});  // the output through a file: 96 MiB
    ASSERT_EQ(listed.exitCode, 0);
    EXPECT_EQ(std::count(listed.out.begin(), listed.out.end(), '\n'), kReports);
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    EXPECT_LT(usage.ru_maxrss, (kReports << 10) / 2) << "kilobytes at peak";
}

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
