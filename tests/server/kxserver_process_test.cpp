// The kxserver program as an administrator and the launcher meet it: the command line, and
// `serve` as a real process on a free port, stopped by SIGTERM whatever its clients do.

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "catalog.h"
#include "child_process.h"
#include "kxserver_harness.h"
#include "loopback_http_server.h"
#include "rowset_xml.h"
#include "server_fixture.h"
#include "temp_dir.h"

namespace kx::server::test {
namespace {

const std::string kProgram = std::string(KX_BIN_DIR) + "/kxserver";

// Runs kxserver to completion with `input` as its standard input and its output captured in
// files of `scratch`.
kx::test::ProcessResult run(const kx::test::TempDir& scratch, std::vector<std::string> args,
                            const std::string& input = {}) {
    return kx::test::runProcessWithInput(kProgram, std::move(args), input, scratch.path());
}

// The result of one remote call to the serving program; any other answer fails the test.
nlohmann::json callAt(httplib::Client& client, const char* path, const char* progId,
                      const char* method, const nlohmann::json& args) {
    const nlohmann::json request = {{"progid", progId}, {"method", method}, {"args", args}};
    const auto answer = client.Post(path, request.dump(), "application/json");
    if (!answer || answer->status != 200) {
        ADD_FAILURE() << method << " was not answered: " << (answer ? answer->body : "");
        return {};
    }
    return nlohmann::json::parse(answer->body).at("result");
}

std::string firstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

TEST(KxserverCommandLine, BadUsageExitsWithTwoAndExplains) {
    kx::test::TempDir scratch;
    const std::string dir = (scratch / "c").string();
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        const char* message;
    };
    const Case cases[] = {{{}, 2, "kxserver serve DIR"},
                          {{"frobnicate"}, 2, "unknown command"},
                          {{"init", dir, "--bogus"}, 2, "unknown option --bogus"},
                          {{"serve", dir, "--port", "70000"}, 2, nullptr},
                          {{"reports", (scratch / "nothing").string()}, 1, "cannot open catalog"}};
    for (const Case& c : cases) {
        const auto finished = run(scratch, c.args);
        const std::string name = c.args.empty() ? "no arguments" : c.args.front();
        EXPECT_EQ(finished.exitCode, c.exitCode) << "case: " << name;
        if (c.message != nullptr) {
            EXPECT_NE(finished.err.find(c.message), std::string::npos) << "case: " << name;
        }
    }
}

TEST(KxserverCommandLine, BuildsACatalogThatServesTheLauncher) {
    kx::test::TempDir scratch;
    const std::string dir = (scratch / "srv").string();
    ASSERT_EQ(run(scratch, {"init", dir, "--pbkdf2-iterations", "1000"}).exitCode, 0);
    EXPECT_EQ(run(scratch, {"init", dir}).exitCode, 1);  // never overwrites a catalog
    ASSERT_EQ(run(scratch, {"add-user", dir, "ACME", "ALICE", "-"}, "pw from stdin\n").exitCode, 0);
    ASSERT_EQ(run(scratch, {"add-server", dir, "Main", "/bo/main"}).exitCode, 0);
    EXPECT_EQ(run(scratch, {"add-server", dir, "Bad", "/bo/../x"}).exitCode, 1);
    const auto deployment =
        run(scratch, {"add-deployment", dir, "--type", "BROKER", "--description", "Main broker",
                      "--path", "/bo/main", "--group", "3", "--check-for-updates", "Y"});
    ASSERT_EQ(deployment.exitCode, 0) << deployment.err;
    const std::string id = firstLine(deployment.out);
    ASSERT_EQ(run(scratch, {"grant", dir, "ACME", "ALICE", id}).exitCode, 0);
    kx::test::writeFile(scratch / "pub" / "tool.bin", "tool");
    kx::test::writeFile(scratch / "pub" / "tool.bin.ver", "3.1.0.7\n");
    kx::test::writeFile(scratch / "pub" / "notes.txt", "notes");
    std::filesystem::create_directories(scratch / "pub" / "old");
    const auto published = run(scratch, {"publish", dir, "--group", "3", (scratch / "pub").string(),
                                         "--install-type", "5", "--version", "9.9.9.9"});
    ASSERT_EQ(published.exitCode, 0) << published.err;
    EXPECT_NE(published.out.find("published 2 file(s)"), std::string::npos);
    EXPECT_NE(published.out.find("not published: old (not a regular file)"), std::string::npos)
        << published.out;
    ASSERT_EQ(run(scratch, {"add-start-row", dir, "--group", "3", "tool.bin"}).exitCode, 0);
    ASSERT_EQ(run(scratch, {"set-stamp", dir, "3", "2001-02-03T04:05:06"}).exitCode, 0);
    EXPECT_EQ(run(scratch, {"set-stamp", dir, "4", "x"}).exitCode, 1);

    const auto serverLog = scratch / "serve.log";
    kx::test::ServeProcess server(dir);
    ASSERT_EQ(server.url().rfind("http://127.0.0.1:", 0), 0u) << server.url();
    httplib::Client client(server.url());
    auto callBroker = [&](const char* method, const nlohmann::json& args) {
        return callAt(client, "/bo/main", "KXBO_V2.Init", method, args);
    };
    const auto token =
        callBroker("LoginUser", {"ACME", "ALICE", "pw from stdin", "ip"}).get<std::string>();
    ASSERT_EQ(token.size(), 32u);
    EXPECT_EQ(callBroker("GetUpdateInfoLastUpdate", {token, "INSTALL_3"}), "2001-02-03T04:05:06");
    const auto list = rowset::readRowsetXml(
        callBroker("GetInstallFilesByIDXML", {token, 3, 0}).get<std::string>());
    ASSERT_EQ(list.rows.size(), 3u);  // notes.txt, tool.bin, the start row
    const auto version = *list.fieldIndex("FileVersion");
    EXPECT_EQ(list.rows[0].values[version].asString(), "9.9.9.9");
    EXPECT_EQ(list.rows[1].values[version].asString(), "3.1.0.7");
    const auto download = client.Get("/bo/main/BROKER/InstallFiles/3/tool.bin");
    ASSERT_TRUE(download);
    EXPECT_EQ(download->body, "tool");
    callBroker("WriteLoginNotes", {token, "Has admin access = Yes"});
    const auto report = client.Post("/GenErrorReport.asp", "ProjectName=KX&Routine=Main",
                                    "application/x-www-form-urlencoded");
    ASSERT_TRUE(report);
    EXPECT_EQ(report->body, "1");

    EXPECT_EQ(server.stop(SIGTERM), 0);
    const std::string log = kx::test::readFile(serverLog);
    EXPECT_NE(log.find("POST /bo/main 200"), std::string::npos) << log;
    EXPECT_NE(log.find("GET /bo/main/BROKER/InstallFiles/3/tool.bin 200 4 "), std::string::npos);
    EXPECT_EQ(log.find("pw from stdin"), std::string::npos);  // no bodies, no passwords

    const auto notes = run(scratch, {"notes", dir});
    ASSERT_EQ(notes.exitCode, 0);
    EXPECT_EQ(nlohmann::json::parse(firstLine(notes.out)).at("notes"), "Has admin access = Yes");
    const auto reports = run(scratch, {"reports", dir});
    ASSERT_EQ(reports.exitCode, 0);
    const auto stored = nlohmann::json::parse(firstLine(reports.out));
    EXPECT_EQ(stored.at("fields").at("Routine"), "Main");
    EXPECT_FALSE(stored.at("receivedAt").get<std::string>().empty());
}

TEST(KxserverCommandLine, DemoCatalogServesItsListsAndStopsOnInterrupt) {
    kx::test::TempDir scratch;
    const std::string dir = (scratch / "demo").string();
    const auto demo = run(scratch, {"demo", dir});
    ASSERT_EQ(demo.exitCode, 0) << demo.err;
    kx::test::ServeProcess server(dir);
    httplib::Client client(server.url());
    const auto servers = rowset::readRowsetXml(
        callAt(client, "/", "KXBO_V2.Init", "GetLoginServersXML", {"DEMO", "DEMO"})
            .get<std::string>());
    EXPECT_EQ(servers.rows.size(), 2u);
    EXPECT_EQ(callAt(client, "/bo/server2", "KXBOGeneral_V3.Init", "isValidLogin",
                     {"DEMO", "DEMO", "demo", true, false}),
              true);
    EXPECT_EQ(server.stop(SIGINT), 0);
}

// A catalog with nothing in it but its settings, in `scratch`/srv.
std::string emptyCatalog(const kx::test::TempDir& scratch) {
    const std::string dir = (scratch / "srv").string();
    EXPECT_EQ(run(scratch, {"init", dir, "--pbkdf2-iterations", "1000"}).exitCode, 0);
    return dir;
}

TEST(KxserverServe, EndsOnTerminationWhileClientsTrickleHeaders) {
    kx::test::TempDir scratch;
    kx::test::ServeProcess server(emptyCatalog(scratch));
    const SlowClients slow(portOf(server.url()), 100, "GET / HTTP/1.1");
    // A bound that only a server waiting for its clients misses.
    EXPECT_EQ(server.stop(SIGTERM, std::chrono::seconds(5)), 0);
}

TEST(KxserverServe, ItsListenQueueHoldsABurstOfConnections) {
    kx::test::TempDir scratch;
    kx::test::ServeProcess server(emptyCatalog(scratch));
    // While the program is stopped only the kernel's listen queue takes connections.
    ASSERT_EQ(kill(server.pid(), SIGSTOP), 0);
    const auto port = static_cast<std::uint16_t>(portOf(server.url()));
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
    const auto listed = run(scratch, {"reports", dir});
    ASSERT_EQ(listed.exitCode, 0);
    EXPECT_EQ(std::count(listed.out.begin(), listed.out.end(), '\n'), kReports);
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    EXPECT_LT(usage.ru_maxrss, (kReports << 10) / 2) << "kilobytes at peak";
}

}  // namespace
}  // namespace kx::server::test
