#include "server_fixture.h"

#include "catalog.h"
#include "publish.h"

namespace kx::server::test {

namespace {

void publishOne(Catalog& catalog, const std::filesystem::path& staging, std::int64_t group,
                bool compress) {
    PublishOptions options;
    options.group = group;
    options.folder = staging;
    options.compress = compress;
    options.version = "1.0.0.0";
    publishFolder(catalog, options, 1'600'000'000);
}

}  // namespace

void fillStandardCatalog(const std::filesystem::path& dir) {
    Catalog::create(dir, 1000);
    Catalog catalog(dir);
    catalog.addUser("acme", "alice", "s3cret pass");
    catalog.addUser("ACME", "BOB", "other");
    catalog.addLoginServer("First", kServer1);
    catalog.addLoginServer("Second", kServer2);
    catalog.addDeployment(
        {kBrokerId, "BROKER", "Broker one", kServer1, "B1", "Y", kBrokerGroup, kBrokerCustomGroup});
    catalog.addDeployment({kClientId, "CLIENT", "Client two", kServer2, "C2", "", kClientGroup, 0});
    catalog.grant("ACME", "ALICE", kBrokerId);
    catalog.grant("ACME", "ALICE", kClientId);

    const auto staging = dir / "staging";
    kx::test::writeFile(staging / "10" / "a.txt", "alpha");
    kx::test::writeFile(staging / "10" / "b.dat", "bravo data");
    kx::test::writeFile(staging / "10" / "b.dat.ver", " 2.0.0.1 \n");
    kx::test::writeFile(staging / "11" / "c.txt", std::string(1000, 'c'));
    kx::test::writeFile(staging / "12" / "d.txt", "delta");
    publishOne(catalog, staging / "10", kBrokerGroup, false);
    publishOne(catalog, staging / "11", kBrokerCustomGroup, true);
    publishOne(catalog, staging / "12", kClientGroup, false);
    addStartRow(catalog, kBrokerGroup, "app.sh", "BROKERDIR", "");
}

void ServerTest::SetUp() {
    fillStandardCatalog(dir_.path());
    ServerOptions options;
    options.dir = dir_.path();
    options.clock = [this] { return now_.load(); };
    server_ = std::make_unique<KxServer>(options);
    url_ = server_->bind();
    thread_ = std::thread([this] { server_->run(); });
    client_ = std::make_unique<httplib::Client>(url_);
}

void ServerTest::TearDown() {
    server_->stop();
    thread_.join();
}

CallAnswer ServerTest::postRaw(const std::string& path, const std::string& body,
                               const std::string& contentType) {
    const auto response = client_->Post(path.c_str(), body, contentType.c_str());
    if (!response) {
        ADD_FAILURE() << "no answer from " << url_ << path;
        return {};
    }
    return {response->status, nlohmann::json::parse(response->body, nullptr, false)};
}

CallAnswer ServerTest::call(const std::string& path, const std::string& progId,
                            const std::string& method, const nlohmann::json& args) {
    const nlohmann::json request = {{"progid", progId}, {"method", method}, {"args", args}};
    return postRaw(path, request.dump());
}

std::string ServerTest::loginAlice(const std::string& path, const std::string& progId) {
    const auto answer =
        call(path, progId, "LoginUser", {"ACME", "ALICE", "s3cret pass", "10.0.0.5"});
    EXPECT_EQ(answer.status, 200);
    return answer.text();
}

}  // namespace kx::server::test
