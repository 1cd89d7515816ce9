// Hostile clients: many connections guessing passwords, report floods, encoded bodies and forged
// client addresses, against the real server on loopback.

#include <chrono>
#include <future>

#include "server/catalog.h"
#include "server/fair_queue.h"
#include "server/trusted_proxies.h"
#include "tests/server/server_fixture.h"
#include "tests/support/kxserver_harness.h"

namespace kx::server::test {
namespace {

using namespace std::chrono_literals;

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
