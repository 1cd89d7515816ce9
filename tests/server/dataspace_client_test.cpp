// Every remote call driven through the launcher's own remote data-space client, as one start of
// the launcher would make them.

#include "data_space.h"
#include "raised_error.h"
#include "remote_error.h"
#include "rowset_xml.h"
#include "run_time_error.h"
#include "server_fixture.h"

namespace kx::server::test {
namespace {

TEST_F(ServerTest, TheDataSpaceClientDrivesAWholeLogin) {
    dataspace::DataSpace space;
    const auto base = space.CreateObject("KXBO_V2.Init", url_);
    const Variant servers = base->call("GetLoginServersXML", {"ACME", "ALICE"});
    EXPECT_EQ(rowset::readRowsetXml(servers.asString()).rows.size(), 2u);
    const Variant deployments = base->call("GetDeploymentsXML", {"ACME", "ALICE"});
    EXPECT_EQ(rowset::readRowsetXml(deployments.asString()).rows.size(), 2u);

    const auto server1 = space.CreateObject("KXBO_V2.Init", url_ + kServer1);
    EXPECT_TRUE(
        server1->call("isValidLogin", {"ACME", "ALICE", "s3cret pass", false, false}).asBool());
    EXPECT_FALSE(
        server1->call("isValidLogin", {"ACME", "ALICE", "s3cret pass", true, false}).asBool());

    const Variant token = server1->call("LoginUser", {"ACME", "ALICE", "s3cret pass", "10.1.1.1"});
    ASSERT_EQ(token.asString().size(), 32u);
    EXPECT_EQ(server1->call("GetUpdateInfoLastUpdate", {token, "INSTALL_11"}).asString(),
              "2020-09-13T12:26:40");
    // The group ids travel as the list's numbers, 64-bit included.
    const Variant files = server1->call("GetInstallFilesByIDXML",
                                        {token, std::int64_t{kBrokerGroup}, std::int32_t{0}});
    EXPECT_EQ(rowset::readRowsetXml(files.asString()).rows.size(), 3u);
    EXPECT_TRUE(server1->call("WriteLoginNotes", {token, "notes"}).isEmpty());

    // A refused call raises the server's number and description in the caller.
    now_ += 13 * 3600;
    EXPECT_RUNTIME_ERROR(server1->call("GetUpdateInfoLastUpdate", {token, "INSTALL_10"}),
                         error_number::kInvalidToken, "expired");
}

}  // namespace
}  // namespace kx::server::test
