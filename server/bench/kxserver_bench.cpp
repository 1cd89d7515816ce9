// kxserver_bench: the load kxserver must hold, measured against the real program on loopback.
//
//   kxserver_bench [--kxserver PATH] [--seconds N] [--clients N]
//                  login|slowloris|reports|kill9|support|all
//
// login      N clients (50) do the launcher's whole login for S seconds (30) against a catalog
//            with the production password cost, each login as another user; a bystander
//            downloads a file and makes a cheap call every 100 ms meanwhile. The server's peak
//            memory is reported with the figures.
// slowloris  the same with 100 connections that send a header line every 2 s (and come back when
//            dropped); then SIGTERM, timed while they are still open.
// reports    500 error reports from 20 threads while `kxserver reports` runs in a loop; all must
//            be answered "1" and listed afterwards.
// kill9      500 reports from 20 threads while the server is killed (SIGKILL) at random moments
//            and started again; every report answered "1" must be listed afterwards.
// support    100,000 stored reports in 500 causes; each support page read 100 times by a
//            logged-in client (support_bench.h).

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "server/bench/bench_support.h"
#include "server/bench/support_bench.h"
#include "tests/support/server_process.h"

namespace kx::server::bench {
namespace {

using test::ServerProcess;

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The report scenarios send far more reports from one address than a server lets through.
const std::vector<std::string> kNoReportLimit = {"--reports-per-minute", "1000000"};

struct Settings {
    std::string kxserver;
    int seconds = 30;
    int clients = 50;
};

// Connections that send the start of a request and then a header line every 2 s, coming back
// when the server drops them, until the object goes away.
class SlowLoris {
  public:
    SlowLoris(int port, int count) : port_(port), sockets_(static_cast<std::size_t>(count), -1) {
        thread_ = std::thread([this] {
            while (!done_) {
                for (int& fd : sockets_) {
                    if (fd < 0 || send(fd, "X-Slow: 1\r\n", 11, MSG_NOSIGNAL) <= 0) {
                        reconnect(fd);
                    }
                }
                for (int i = 0; i < 20 && !done_; ++i) {
                    std::this_thread::sleep_for(100ms);
                }
            }
        });
    }
    ~SlowLoris() {
        done_ = true;
        thread_.join();
        for (const int fd : sockets_) {
            close(fd);
        }
    }
    SlowLoris(const SlowLoris&) = delete;
    SlowLoris& operator=(const SlowLoris&) = delete;

  private:
    void reconnect(int& fd) const {
        close(fd);
        fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port_));
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            send(fd, "GET / HTTP/1.1\r\nHost: x\r\n", 25, MSG_NOSIGNAL);
        }
    }

    int port_;
    std::vector<int> sockets_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// A bystander's cheap requests every 100 ms until `deadline`.
void bystander(const std::string& url, Clock::time_point deadline, Latencies& downloads,
               Latencies& calls) {
    httplib::Client client(url);
    const std::string call =
        R"({"progid":"KXBO_V2.Init","method":"GetLoginServersXML","args":["BENCH","U0"]})";
    while (Clock::now() < deadline) {
        auto start = Clock::now();
        const auto file = client.Get("/bo/server1/BROKER/InstallFiles/10/help.txt");
        downloads.add(Clock::now() - start);
        start = Clock::now();
        const auto answer = client.Post("/", call, "application/json");
        calls.add(Clock::now() - start);
        if (!file || file->status != 200 || !answer || answer->status != 200) {
            std::printf("  bystander: a request failed\n");
        }
        std::this_thread::sleep_for(100ms);
    }
}

void loginLoad(const Settings& settings, int slowConnections) {
    constexpr int kUsers = 5000;
    Scratch scratch;
    createBenchCatalog(scratch.catalog(), kUsers);
    ServerProcess server(settings.kxserver, scratch.catalog(), 0);
    const auto slow = std::make_unique<SlowLoris>(server.port(), slowConnections);
    Latencies passwordCalls, otherCalls, logins, downloads, cheapCalls;
    std::atomic<int> nextUser{0}, done{0}, failed{0};
    const auto start = Clock::now();
    const auto deadline = start + std::chrono::seconds(settings.seconds);
    std::vector<std::thread> threads;
    for (int i = 0; i < settings.clients; ++i) {
        threads.emplace_back([&] {
            while (Clock::now() < deadline) {
                const auto begun = Clock::now();
                const bool ok =
                    launcherLogin(server.url(), nextUser++ % kUsers, passwordCalls, otherCalls);
                logins.add(Clock::now() - begun);
                ++(ok ? done : failed);
            }
        });
    }
    threads.emplace_back([&] { bystander(server.url(), deadline, downloads, cheapCalls); });
    for (auto& thread : threads) {
        thread.join();
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%d clients, %d slow connections, %.1f s: %d logins (%.1f per second), %d failed\n",
                settings.clients, slowConnections, seconds, done.load(), done / seconds,
                failed.load());
    Latencies allCalls;
    allCalls.addAll(passwordCalls);
    allCalls.addAll(otherCalls);
    printLatencies("each call of a login", allCalls);
    printLatencies("login's calls with password", passwordCalls);
    printLatencies("login's other calls", otherCalls);
    printLatencies("each whole login", logins);
    printLatencies("bystander's download", downloads);
    printLatencies("bystander's cheap call", cheapCalls);
    std::printf("  server used %.1f ms of processor time per login\n",
                1000.0 * server.cpuSeconds() / std::max(1, done.load()));
    std::printf("  server's peak resident memory: %.1f MiB\n",
                static_cast<double>(server.peakResidentKiB()) / 1024.0);
    const auto stopping = Clock::now();
    server.stop(SIGTERM);
    std::printf("  SIGTERM ended the server in %lld ms\n",
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - stopping)
                        .count()));
}

// The Routine of every report `kxserver reports DIR` lists.
std::multiset<std::string> listedMarkers(const Settings& settings, const Scratch& scratch) {
    std::istringstream lines(runForOutput(settings.kxserver, {"reports", scratch.catalog()}));
    std::multiset<std::string> markers;
    for (std::string line; std::getline(lines, line);) {
        markers.insert(nlohmann::json::parse(line).at("fields").at("Routine").get<std::string>());
    }
    return markers;
}

// Posts reports "r0".."r499" from 20 threads, each until answered "1" when `retry`; returns the
// markers answered "1".
std::set<std::string> postReports(const std::string& url, bool retry) {
    constexpr int kReports = 500;
    std::atomic<int> next{0};
    std::mutex mutex;
    std::set<std::string> answered;
    std::vector<std::thread> threads;
    for (int t = 0; t < 20; ++t) {
        threads.emplace_back([&] {
            for (int i = next++; i < kReports; i = next++) {
                const std::string marker = "r" + std::to_string(i);
                bool stored = postReport(url, marker);
                for (int attempt = 0; retry && !stored && attempt < 500; ++attempt) {
                    std::this_thread::sleep_for(20ms);
                    stored = postReport(url, marker);
                }
                if (stored) {
                    std::lock_guard lock(mutex);
                    answered.insert(marker);
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    return answered;
}

void reportsWhileListing(const Settings& settings) {
    Scratch scratch;
    createBenchCatalog(scratch.catalog(), 1);
    ServerProcess server(settings.kxserver, scratch.catalog(), 0, {}, kNoReportLimit);
    std::atomic<bool> posting{true};
    std::atomic<int> listings{0};
    std::thread lister([&] {
        while (posting) {
            runQuietly(settings.kxserver, {"reports", scratch.catalog()});
            ++listings;
        }
    });
    const auto start = Clock::now();
    const auto answered = postReports(server.url(), false);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    posting = false;
    lister.join();
    server.stop(SIGTERM);
    const auto listed = listedMarkers(settings, scratch);
    std::printf(
        "500 reports from 20 threads in %.1f s during %d listings: %zu answered \"1\", "
        "%zu listed afterwards\n",
        seconds, listings.load(), answered.size(), listed.size());
}

// The server started again on its port, which a moment after a kill may still be taken.
std::unique_ptr<ServerProcess> restarted(const Settings& settings, const Scratch& scratch,
                                         int port) {
    for (int attempt = 0;; ++attempt) {
        try {
            return std::make_unique<ServerProcess>(settings.kxserver, scratch.catalog(), port, "",
                                                   kNoReportLimit);
        } catch (const std::runtime_error&) {
            if (attempt == 50) {
                throw;
            }
            std::this_thread::sleep_for(100ms);
        }
    }
}

void reportsWhileKilled(const Settings& settings) {
    Scratch scratch;
    createBenchCatalog(scratch.catalog(), 1);
    auto server = std::make_unique<ServerProcess>(settings.kxserver, scratch.catalog(), 0, "",
                                                  kNoReportLimit);
    const int port = server->port();
    const std::string url = server->url();
    std::atomic<bool> posting{true};
    int kills = 0;
    std::thread killer([&] {
        std::mt19937 random(std::random_device{}());
        while (posting) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20 + random() % 100));
            server->stop(SIGKILL);
            ++kills;
            server = restarted(settings, scratch, port);
        }
    });
    const auto answered = postReports(url, true);
    posting = false;
    killer.join();
    server->stop(SIGTERM);
    const auto listed = listedMarkers(settings, scratch);
    std::size_t missing = 0;
    for (const auto& marker : answered) {
        missing += listed.count(marker) == 0 ? 1u : 0u;
    }
    std::printf(
        "500 reports from 20 threads, server killed %d times: %zu answered \"1\", %zu of "
        "them missing afterwards (%zu rows listed: a report stored just before a kill "
        "and sent again is there twice)\n",
        kills, answered.size(), missing, listed.size());
}

int usage() {
    std::cerr << "usage: kxserver_bench [--kxserver PATH] [--seconds N] [--clients N] "
                 "login|slowloris|reports|kill9|support|all\n";
    return 2;
}

}  // namespace
}  // namespace kx::server::bench

int main(int argc, char** argv) {
    using namespace kx::server::bench;
    Settings settings;
    settings.kxserver =
        (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "kxserver").string();
    std::string scenario;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 < argc && arg == "--kxserver") {
            settings.kxserver = argv[++i];
        } else if (i + 1 < argc && arg == "--seconds") {
            settings.seconds = std::atoi(argv[++i]);
        } else if (i + 1 < argc && arg == "--clients") {
            settings.clients = std::atoi(argv[++i]);
        } else if (scenario.empty() && arg.rfind("--", 0) != 0) {
            scenario = arg;
        } else {
            return usage();
        }
    }
    const std::set<std::string> scenarios = {"login", "slowloris", "reports",
                                             "kill9", "support",   "all"};
    if (settings.seconds <= 0 || settings.clients <= 0 || scenarios.count(scenario) == 0) {
        return usage();
    }
    const bool all = scenario == "all";
    if (all || scenario == "login") {
        loginLoad(settings, 0);
    }
    if (all || scenario == "slowloris") {
        loginLoad(settings, 100);
    }
    if (all || scenario == "reports") {
        reportsWhileListing(settings);
    }
    if (all || scenario == "kill9") {
        reportsWhileKilled(settings);
    }
    if (all || scenario == "support") {
        supportPagesLoad(settings.kxserver);
    }
    return 0;
}
