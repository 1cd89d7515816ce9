// The HTTP face under hostile clients: slow and idle connections, refusals that leave nothing
// behind on the connection, statuses and texts of refusals, bounded memory for nested JSON, many
// connections guessing passwords, report floods, encoded bodies and forged client addresses.

#include <sys/resource.h>

#include <chrono>
#include <future>
#include <regex>

#include "server/catalog.h"
#include "server/fair_queue.h"
#include "server/trusted_proxies.h"
#include "tests/server/server_fixture.h"
#include "tests/support/kxserver_harness.h"

namespace kx::server::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kReportPath = "/GenErrorReport.asp";
// A request the server answers with "alpha" and keeps the connection open.
const std::string kGetA =
    "GET /bo/server1/BROKER/InstallFiles/10/a.txt HTTP/1.1\r\nHost: x\r\n\r\n";

long peakResidentKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST_F(ServerTest, DeeplyNestedJsonIsRefusedBeforeItIsBuilt) {
    const long before = peakResidentKilobytes();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(postAt(*client_, "/", std::string(1 << 20, '[')).status, 400);
    }
    // Building the tree of a mebibyte of "[" costs some 80 MB.
    EXPECT_LT(peakResidentKilobytes() - before, 32 * 1024);
}

TEST_F(ServerTest, ConnectionsBeyondTheCapAreClosedAndLogged) {
    restartServer([](ServerOptions& options) { options.maxConnections = 1; });
    RawConnection first(port());
    first.send("GET /x HTTP/1.1\r\nHost: x\r\n\r\n");
    ASSERT_NE(first.receive(500).find(" 404 "), std::string::npos);
    RawConnection second(port());
    second.send("GET /x HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(second.receive(2000), "");
    EXPECT_TRUE(second.closed());
    stopServer();
    EXPECT_TRUE(contains(log_.str(), "closed unanswered: 1 connections, the most allowed"));
}

TEST_F(ServerTest, RefusalsLeaveNoBodyBehindAndCloseWhenTheySaySo) {
    RawConnection multipart(port());
    multipart.send(
        "POST /bo/server1 HTTP/1.1\r\nHost: x\r\nContent-Type: multipart/form-data\r\n"
        "Content-Length: " +
        std::to_string(kGetA.size()) + "\r\n\r\n");
    std::this_thread::sleep_for(300ms);  // the body arrives after the refusal
    multipart.send(kGetA);
    const std::string answers = multipart.receive(1500);
    EXPECT_EQ(countOf(answers, "HTTP/1.1 "), 1u) << answers;
    EXPECT_FALSE(contains(answers, "alpha"));

    // A body too large to read is refused at once, and the connection closed as announced.
    RawConnection tooLarge(port());
    tooLarge.send("POST /bo/server1 HTTP/1.1\r\nHost: x\r\nContent-Length: 2000000\r\n\r\n{");
    const std::string refusal = tooLarge.receive(3000);
    EXPECT_TRUE(contains(refusal, " 413 "));
    EXPECT_TRUE(contains(refusal, "Connection: close"));
    EXPECT_TRUE(tooLarge.closed());
}

TEST_F(ServerTest, RefusalsHaveFittingStatusesAndNeverLookLikeAStoredReport) {
    const std::string multipart =
        "--x\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nb\r\n--x--\r\n";
    std::string manyFields;
    for (int i = 0; i < 1001; ++i) {
        manyFields += "f=v&";
    }
    const std::string huge(9 << 20, 'x');
    struct Case {
        std::string path;
        std::string body;
        std::string type;
        int status;
    };
    const std::vector<Case> cases = {
        {"/bo/server1", multipart, "multipart/form-data; boundary=x", 415},
        {kReportPath, multipart, "multipart/form-data; boundary=x", 415},
        {kReportPath, "", "application/x-www-form-urlencoded", 400},
        {kReportPath, manyFields, "application/x-www-form-urlencoded", 413},
        {kReportPath, huge, "application/x-www-form-urlencoded", 413},
        {kReportPath + std::string("?") + std::string(20000, '1'), "a=b",
         "application/x-www-form-urlencoded", 414},
    };
    for (const auto& c : cases) {
        const auto answer = client_->Post(c.path, c.body, c.type.c_str());
        ASSERT_TRUE(answer) << c.path.substr(0, 40);
        EXPECT_EQ(answer->status, c.status) << c.path.substr(0, 40) << " " << c.type;
        if (c.path.rfind(kReportPath, 0) == 0) {
            EXPECT_FALSE(contains(answer->body, "1"));
        }
    }
    const auto fields = client_->Post(kReportPath, manyFields, "application/x-www-form-urlencoded");
    EXPECT_TRUE(contains(fields->body, "fields"));
    EXPECT_TRUE(storedReports().empty());
    stopServer();
    // Each of the six refused reports leaves one line that says why.
    EXPECT_EQ(countOf(log_.str(), "error report not stored ("), 6u) << log_.str();
    EXPECT_TRUE(contains(log_.str(), "(413): it has more than a thousand fields."));
}

TEST_F(ServerTest, InternalFailuresAreLoggedNotShownAndTheLogTimesEachRequest) {
    // The first request of a fresh server is one it cannot even parse.
    RawConnection garbage(port());
    garbage.send("NONSENSE\r\n\r\n");
    EXPECT_TRUE(contains(garbage.receive(1000), " 400 "));
    {
        Database catalog(Catalog::fileIn(dir_.path()).string(), false);
        catalog.exec("DROP TABLE tokens; DROP TABLE error_reports");
    }
    const auto login =
        call(kServer1, "KXBO_V2.Init", "LoginUser", {"ACME", "ALICE", "s3cret pass", "ip"});
    EXPECT_EQ(login.status, 500);
    const std::string description = login.body.at("error").at("description");
    EXPECT_FALSE(contains(description, "tokens"));
    const auto report = client_->Post(kReportPath, "a=b", "application/x-www-form-urlencoded");
    EXPECT_EQ(report->status, 500);
    EXPECT_FALSE(contains(report->body, "1"));

    RawConnection slowBody(port());
    slowBody.send("POST /slow-body HTTP/1.1\r\nHost: x\r\nContent-Length: 2\r\n\r\n");
    std::this_thread::sleep_for(400ms);
    slowBody.send("{}");
    slowBody.receive(1000);
    {
        RawConnection finished(port());
        finished.send(kGetA);
        EXPECT_TRUE(contains(finished.receive(200), " 200 "));
        EXPECT_FALSE(finished.closed());  // kept open for a further request
        RawConnection cutOff(port());
        cutOff.send("POST /cut-off HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\n\r\nab");
    }
    std::this_thread::sleep_for(300ms);
    stopServer();

    const std::string log = log_.str();
    EXPECT_TRUE(contains(log, "no such table: tokens"));
    EXPECT_TRUE(contains(log, "error report not stored (500)"));
    // Only the request cut off part way is noted, not the connections closed between requests.
    EXPECT_EQ(countOf(log, "request left unanswered"), 1u) << log;
    EXPECT_TRUE(contains(log, "before its end: POST /cut-off"));
    std::smatch match;
    ASSERT_TRUE(std::regex_search(log, match, std::regex(R"(400 \d+ ([0-9.]+)ms)"))) << log;
    EXPECT_LT(std::stod(match[1]), 10'000.0) << log;
    ASSERT_TRUE(std::regex_search(log, match, std::regex(R"(/slow-body \d+ \d+ ([0-9.]+)ms)")));
    // The server starts its clock once the first bytes are read, a little after they were sent:
    // the time is a hair under the 400 ms slept, yet far above the body's own arrival.
    EXPECT_GE(std::stod(match[1]), 350.0) << log;
}

TEST_F(ServerTest, ParallelGuessesGetFewChecksAndDoNotDelayAnotherAddressesLogin) {
    std::atomic<bool> attacking{true};
    std::atomic<int> notFailedLogins{0};
    std::vector<std::thread> guessers;
    for (int i = 0; i < 64; ++i) {
        guessers.emplace_back([&] {
            httplib::Client client(url_);
            while (attacking) {
                const auto answer = callAt(client, kServer1, "KXBO_V2.Init", "isValidLogin",
                                           {"ACME", "BOB", "guess", false, false});
                notFailedLogins +=
                    answer.status == 200 && answer.body.at("result") == false ? 0 : 1;
            }
        });
    }
    std::this_thread::sleep_for(500ms);
    RawConnection other(port(), "127.0.0.2");
    const std::string body =
        R"({"progid":"KXBO_V2.Init","method":"isValidLogin","args":["ACME","ALICE","s3cret pass",false,false]})";
    const auto started = std::chrono::steady_clock::now();
    other.send("POST /bo/server1 HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Length: " +
               std::to_string(body.size()) + "\r\n\r\n" + body);
    const std::string answer = other.receive(5000);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
    EXPECT_TRUE(contains(answer, R"({"result":true})"));
    std::this_thread::sleep_for(1s);
    attacking = false;
    for (auto& guesser : guessers) {
        guesser.join();
    }
    stopServer();
    EXPECT_EQ(notFailedLogins, 0);
    // Three free guesses, and one after each delay (0.25 s, 0.5 s, 1 s) while the attack lasts.
    EXPECT_LE(countOf(log_.str(), "wrong password for ACME/BOB from 127.0.0.1"), 6u) << log_.str();
}

TEST_F(ServerTest, StoredReportsAreNeverDroppedForNewOnesAndFloodsAreRefused) {
    restartServer([](ServerOptions& options) {
        options.reportStoreLimit = 2500;
        options.reportsPerAddressPerMinute = 3;
        options.trustedProxies = {"127.0.0.1"};
    });
    const httplib::Headers forwarded = {{"X-Forwarded-For", "198.51.100.4"}};
    auto post = [&](const std::string& routine, std::size_t size, const httplib::Headers& headers) {
        return client_->Post("/GenErrorReport.asp", headers,
                             "Routine=" + routine + "&Context=" + std::string(size, 'c'),
                             "application/x-www-form-urlencoded");
    };
    EXPECT_EQ(post("first", 1000, forwarded)->body, "1");
    EXPECT_EQ(post("second", 1000, {})->body, "1");
    const auto full = post("third", 1000, {});
    EXPECT_EQ(full->status, 503);
    EXPECT_EQ(full->get_header_value("Retry-After"), "3600");
    EXPECT_EQ(post("huge", 3000, {})->status, 413);
    EXPECT_EQ(post("flood", 10, {})->status, 429);
    EXPECT_EQ(post("flood", 10, forwarded)->body, "1");
    for (const char* path : {"/GenErrorReport.asp", "/bo/server1"}) {
        EXPECT_EQ(client_->Post(path, {{"Content-Encoding", "gzip"}}, "x", "text/plain")->status,
                  415);
    }
    auto reports = storedReports();
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[0].at("clientAddress"), "198.51.100.4");
    EXPECT_EQ(reports[1].at("fields").at("Routine"), "second");
    stopServer();
    EXPECT_TRUE(contains(log_.str(), "error report not stored (503): the report store is full"));
    // The reports were received in 2023 (the fixture's clock): older than 30 days.
    EXPECT_EQ(kx::test::kxserver({"prune-reports", dir_.path().string(), "--older-than", "30"})
                  .find("removed 3"),
              0u);
    EXPECT_TRUE(storedReports().empty());
}

TEST(FairQueue, OneKeysFloodWaitsBehindItselfNotBeforeOtherKeys) {
    std::vector<std::string> order;  // written by the queue's one thread only
    std::promise<void> release, finished;
    FairQueue queue(1);
    queue.post("busy", [held = release.get_future().share()] { held.wait(); });
    for (const char* key : {"flood", "flood", "flood", "other"}) {
        queue.post(key, [&order, key] { order.push_back(key); });
    }
    queue.post("flood", [&] { finished.set_value(); });
    release.set_value();
    EXPECT_EQ(finished.get_future().wait_for(5s), std::future_status::ready);
    queue.stop();
    EXPECT_EQ(order, (std::vector<std::string>{"flood", "other", "flood", "flood"}));
}

TEST(TrustedProxies, OnlyTrustedPeersNameTheClientAndOnlyItsNearestUntrustedHop) {
    const TrustedProxies proxies({"10.0.0.1", "10.0.0.2"});
    EXPECT_EQ(proxies.clientAddress("10.0.0.1", "203.0.113.7"), "203.0.113.7");
    EXPECT_EQ(proxies.clientAddress("10.0.0.1", "6.6.6.6, 203.0.113.7 ,10.0.0.2"), "203.0.113.7");
    EXPECT_EQ(proxies.clientAddress("10.0.0.1", ""), "10.0.0.1");
    EXPECT_EQ(proxies.clientAddress("10.0.0.1", "203.0.113.7, unknown"), "10.0.0.1");
    EXPECT_EQ(proxies.clientAddress("192.0.2.9", "203.0.113.7"), "192.0.2.9");  // spoofed
    EXPECT_THROW(TrustedProxies({"proxy.example"}), std::invalid_argument);
}

}  // namespace
}  // namespace kx::server::test
