#include "tests/server/server_fixture.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/system/file_read.h"
#include "server/catalog.h"
#include "server/publish.h"
#include "tests/support/kxserver_harness.h"
#include "tests/support/loopback_http_server.h"

namespace kx::server::test {

void fillStandardCatalog(const std::filesystem::path& dir) {
    Catalog::create(dir, kTestPasswordCost);
    Catalog catalog(dir);
    catalog.addUser("acme", "alice", "s3cret pass");
    catalog.addUser("ACME", "BOB", "other");
    catalog.addLoginServer("First", kServer1);
    catalog.addLoginServer("Second", kServer2);
    catalog.addDeployment({5000000001, "BROKER", "Broker one", kServer1, "B1", "Y", 10, 11});
    catalog.addDeployment({7, "CLIENT", "Client two", kServer2, "C2", "", 12, 0});
    catalog.grant("ACME", "ALICE", 5000000001);
    catalog.grant("ACME", "ALICE", 7);

    const auto staging = dir / "staging";
    kx::test::writeFile(staging / "10" / "a.txt", "alpha");
    kx::test::writeFile(staging / "10" / "b.dat", "bravo data");
    kx::test::writeFile(staging / "10" / "b.dat.ver", " 2.0.0.1 \n");
    kx::test::writeFile(staging / "11" / "c.txt", std::string(1000, 'c'));
    kx::test::writeFile(staging / "12" / "d.txt", "delta");
    for (const std::int64_t group : {10, 11, 12}) {
        PublishOptions options;
        options.group = group;
        options.folder = staging / std::to_string(group);
        options.compress = group == 11;
        options.version = "1.0.0.0";
        publishFolder(catalog, options, 1'600'000'000);
    }
    addStartRow(catalog, 10, "app.sh", "BROKERDIR", "");
}

RawConnection::RawConnection(int port, const char* from)
    : fd_(kx::test::connectLoopback(static_cast<std::uint16_t>(port), 0, from)) {
    if (fd_ < 0) {
        ADD_FAILURE() << "cannot connect to port " << port;
    }
}

RawConnection::~RawConnection() {
    close(fd_);
}

void RawConnection::send(const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) {
            return;  // the server closed the connection; receive() tells
        }
        done += static_cast<std::size_t>(n);
    }
}

std::string RawConnection::receive(int idleMilliseconds) {
    std::string text;
    pollfd ready{fd_, POLLIN, 0};
    char buffer[65536];
    while (!closed_ && poll(&ready, 1, idleMilliseconds) == 1) {
        const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
        closed_ = n <= 0;
        text.append(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
    }
    return text;
}

void ServerTest::SetUp() {
    fillStandardCatalog(dir_.path());
    restartServer([](ServerOptions&) {});
}

void ServerTest::TearDown() {
    stopServer();
}

void ServerTest::restartServer(const std::function<void(ServerOptions&)>& adjust) {
    stopServer();
    ServerOptions options;
    options.dir = dir_.path();
    options.clock = [this] { return now_.load(); };
    options.log = &log_;
    adjust(options);
    server_ = std::make_unique<KxServer>(options);
    url_ = server_->bind();
    thread_ = std::thread([this] { server_->run(); });
    client_ = std::make_unique<httplib::Client>(url_);
}

void ServerTest::stopServer() {
    if (thread_.joinable()) {
        server_->stop();
        thread_.join();
    }
}

std::vector<nlohmann::json> ServerTest::storedReports() const {
    std::ostringstream out;
    Catalog(dir_.path()).reports().writeAll(out);
    std::istringstream lines(out.str());
    std::vector<nlohmann::json> reports;
    for (std::string line; std::getline(lines, line);) {
        reports.push_back(nlohmann::json::parse(line));
    }
    return reports;
}

int ServerTest::port() const {
    return std::stoi(url_.substr(url_.rfind(':') + 1));
}

std::size_t countOf(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

::testing::AssertionResult contains(const std::string& text, const std::string& part) {
    const bool found = text.find(part) != std::string::npos;
    return (found ? ::testing::AssertionSuccess() : ::testing::AssertionFailure())
           << "\"" << part << (found ? "\" is in:\n" : "\" is not in:\n") << text;
}

std::string firstLine(const std::string& text) {
    return std::string(kx::sys::firstLine(text));
}

std::string emptyCatalog(const kx::test::TempDir& scratch) {
    const std::string dir = (scratch / "srv").string();
    kx::test::kxserver({"init", dir, "--password-memory", "8", "--password-passes", "1"});
    return dir;
}

CallAnswer postAt(httplib::Client& client, const std::string& path, const std::string& body) {
    const auto response = client.Post(path, body, "application/json");
    if (!response) {
        ADD_FAILURE() << "no answer to POST " << path;
        return {};
    }
    return {response->status, nlohmann::json::parse(response->body, nullptr, false)};
}

CallAnswer callAt(httplib::Client& client, const std::string& path, const std::string& progId,
                  const std::string& method, const nlohmann::json& args) {
    const nlohmann::json request = {{"progid", progId}, {"method", method}, {"args", args}};
    return postAt(client, path, request.dump());
}

std::string ServerTest::loginAlice(const std::string& path, const std::string& progId) {
    const auto answer =
        call(path, progId, "LoginUser", {"ACME", "ALICE", "s3cret pass", "10.0.0.5"});
    EXPECT_EQ(answer.status, 200);
    return answer.text();
}

}  // namespace kx::server::test
