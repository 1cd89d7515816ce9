// The seven remote calls over real HTTP, checked through the row-set reader the launcher uses.

#include "platform/rowset/rowset_xml.h"
#include "platform/runtime/vb_strings.h"
#include "server/catalog.h"
#include "server/remote_error.h"
#include "tests/server/server_fixture.h"
#include "tests/support/temp_dir.h"

namespace kx::server::test {
namespace {

constexpr const char* kBroker = "KXBO_V2.Init";

// The number of rows in the list a call answered.
std::size_t rowCount(const CallAnswer& answer) {
    return rowset::readRowsetXml(answer.text()).rows.size();
}

TEST_F(ServerTest, DiscoveryListsServersAndDeploymentsWithAbsoluteUrlsToGrantedUsersOnly) {
    // The whole lists, with this server's address written as <URL>; the user's names in any case.
    for (const auto& [method, golden] : {std::pair{"GetLoginServersXML", "login_servers"},
                                         std::pair{"GetDeploymentsXML", "deployments"}}) {
        const auto answer = call("/", kBroker, method, {"acme", "alice"});
        ASSERT_EQ(answer.status, 200);
        EXPECT_EQ(
            Replace(answer.text(), url_, "<URL>"),
            kx::test::readFile(KX_TEST_DATA_DIR "/server/" + std::string(golden) + ".golden"));
    }
    // An unknown user and one granted nothing get empty lists.
    for (const auto& who : {nlohmann::json{"ACME", "NOBODY"}, nlohmann::json{"ACME", "BOB"}}) {
        for (const char* method : {"GetLoginServersXML", "GetDeploymentsXML"}) {
            EXPECT_EQ(rowCount(call("/", kBroker, method, who)), 0u) << method << who.dump();
        }
    }
}

TEST_F(ServerTest, IsValidLoginNeedsPasswordGrantAndMatchingType) {
    auto valid = [&](const char* path, const nlohmann::json& args) {
        const auto answer = call(path, kBroker, "isValidLogin", args);
        EXPECT_EQ(answer.status, 200);
        return answer.body.at("result").get<bool>();
    };
    EXPECT_TRUE(valid(kServer1, {"ACME", "ALICE", "s3cret pass", false, false}));
    EXPECT_TRUE(valid(kServer2, {"ACME", "ALICE", "s3cret pass", true, false}));
    // The old runtime's True is -1.
    EXPECT_TRUE(valid(kServer2, {"ACME", "ALICE", "s3cret pass", -1, 0}));
    EXPECT_FALSE(valid(kServer1, {"ACME", "ALICE", "s3cret pass", true, false}));
    EXPECT_FALSE(valid(kServer2, {"ACME", "ALICE", "s3cret pass", false, false}));
    EXPECT_FALSE(valid(kServer1, {"ACME", "ALICE", "S3cret pass", false, false}));
    EXPECT_FALSE(valid(kServer1, {"ACME", "ALICE", " s3cret pass", false, false}));
    EXPECT_FALSE(valid(kServer1, {"ACME", "BOB", "other", false, false}));
}

TEST_F(ServerTest, LoginUserIssuesFreshTokensForTheDeploymentTypeWhoseCallsAnswerAndStoreNotes) {
    const std::string token = loginAlice(kServer1, kBroker);
    const std::string second = loginAlice(kServer1, kBroker);
    EXPECT_EQ(token.size(), 32u);
    EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_NE(token, second);
    EXPECT_EQ(loginAlice(kServer2, "KXBOGeneral_V3.Init").size(), 32u);
    // Server 2 has only a CLIENT deployment, so the BROKER object refuses there.
    EXPECT_EQ(loginAlice(kServer2, kBroker), "");
    EXPECT_EQ(call(kServer1, kBroker, "LoginUser", {"ACME", "ALICE", "wrong", "1.2.3.4"}).text(),
              "");

    const auto stamp = call(kServer1, kBroker, "GetUpdateInfoLastUpdate", {token, "INSTALL_10"});
    ASSERT_EQ(stamp.status, 200);
    EXPECT_EQ(stamp.text(), "2020-09-13T12:26:40");

    // Ids as text with blanks and as numbers; rows of both groups ordered by SequenceID, with
    // every column of the list.
    const auto files = call(kServer1, kBroker, "GetInstallFilesByIDXML", {token, " 10 ", 11});
    ASSERT_EQ(files.status, 200);
    EXPECT_EQ(files.text(), kx::test::readFile(KX_TEST_DATA_DIR "/server/install_files.golden"));
    EXPECT_EQ(rowCount(call(kServer1, kBroker, "GetInstallFilesByIDXML", {token, "", nullptr})),
              0u);

    const auto notes = call(kServer1, kBroker, "WriteLoginNotes", {token, "Memory Load = %37"});
    EXPECT_EQ(notes.status, 200);
    EXPECT_TRUE(notes.body.at("result").is_null());
    std::ostringstream stored;
    Catalog(dir_.path()).sessions().writeLoginNotes(stored);
    EXPECT_EQ(stored.str(),
              R"({"id":1,"writtenAt":"2023-11-14T22:13:20","clientAddress":"127.0.0.1",)"
              R"("filerCode":"ACME","login":"ALICE","deploymentId":5000000001,)"
              R"("ipText":"10.0.0.5","notes":"Memory Load = %37"})"
              "\n");
}

TEST_F(ServerTest, TokensAreRefusedWhenExpiredForeignOrOutsideTheirGroupsAndIdsMustBeWhole) {
    const std::string token = loginAlice(kServer1, kBroker);
    auto stampWith = [&](const std::string& path, const std::string& t, const char* group) {
        return call(path, kBroker, "GetUpdateInfoLastUpdate", {t, group});
    };
    // Another deployment's group, a token used at another address, a made-up token.
    EXPECT_EQ(stampWith(kServer1, token, "INSTALL_12").status, 403);
    EXPECT_EQ(call(kServer1, kBroker, "GetInstallFilesByIDXML", {token, 10, 12}).status, 403);
    const auto foreign = stampWith(kServer2, token, "INSTALL_10");
    EXPECT_EQ(foreign.status, 403);
    EXPECT_EQ(foreign.errorNumber(), error_number::kInvalidToken);
    EXPECT_EQ(stampWith(kServer1, std::string(32, 'a'), "INSTALL_10").status, 403);
    EXPECT_EQ(stampWith(kServer1, token, "GROUP_10").status, 400);
    // Group ids must be whole numbers.
    for (const nlohmann::json& id :
         {nlohmann::json("1x"), nlohmann::json(-10), nlohmann::json(10.5), nlohmann::json(true)}) {
        const auto answer = call(kServer1, kBroker, "GetInstallFilesByIDXML", {token, id, 0});
        EXPECT_EQ(answer.status, 400) << id.dump();
        EXPECT_EQ(answer.errorNumber(), error_number::kTypeMismatch) << id.dump();
    }
    EXPECT_EQ(call(kServer1, kBroker, "GetInstallFilesByIDXML", {token, 10.0, 0}).status, 200);

    now_ += 12 * 3600 - 1;
    EXPECT_EQ(stampWith(kServer1, token, "INSTALL_10").status, 200);
    now_ += 1;
    const auto expired = stampWith(kServer1, token, "INSTALL_10");
    EXPECT_EQ(expired.status, 403);
    EXPECT_EQ(expired.errorNumber(), error_number::kInvalidToken);
    EXPECT_TRUE(contains(expired.body.at("error").at("description").get<std::string>(), "expired"));
    EXPECT_EQ(call(kServer1, kBroker, "WriteLoginNotes", {token, "x"}).status, 403);
}

TEST_F(ServerTest, MalformedCallsGetClearErrorsAndTheServerKeepsServing) {
    struct Case {
        std::string path;
        std::string body;
        int status;
        std::int64_t number;
    };
    auto request = [](const char* progId, const char* method, const nlohmann::json& args) {
        return nlohmann::json{{"progid", progId}, {"method", method}, {"args", args}}.dump();
    };
    const std::vector<Case> cases = {
        {"/", "{not json", 400, error_number::kInvalidArgument},
        {"/", "[1,2]", 400, error_number::kInvalidArgument},
        {"/", R"({"progid":"KXBO_V2.Init","method":"GetDeploymentsXML","args":"x"})", 400,
         error_number::kInvalidArgument},
        {"/", request("Other.Object", "GetDeploymentsXML", {"A", "B"}), 404,
         error_number::kCannotCreateObject},
        {"/", request(kBroker, "DropTables", nlohmann::json::array()), 404,
         error_number::kNoSuchMethod},
        {"/", request(kBroker, "GetDeploymentsXML", {"A"}), 400, error_number::kWrongArgumentCount},
        {"/", request(kBroker, "GetDeploymentsXML", {"A", 5}), 400, error_number::kTypeMismatch},
        {"/", request(kBroker, "GetDeploymentsXML", {"A", {{"x", 1}}}), 400,
         error_number::kTypeMismatch},
        {"/bo/nowhere", request(kBroker, "GetDeploymentsXML", {"A", "B"}), 404,
         error_number::kNotFound},
        {"/", std::string(2 << 20, ' '), 413, error_number::kRequestTooLarge},
    };
    for (const auto& c : cases) {
        const auto answer = postAt(*client_, c.path, c.body);
        EXPECT_EQ(answer.status, c.status) << c.body.substr(0, 80);
        ASSERT_FALSE(answer.body.is_discarded()) << c.body.substr(0, 80);
        EXPECT_EQ(answer.errorNumber(), c.number) << c.body.substr(0, 80);
        EXPECT_FALSE(answer.body.at("error").at("description").get<std::string>().empty());
    }
    // Method and object names ignore case, as late binding does; the server still answers.
    EXPECT_EQ(call("/", "kxbo_v2.init", "getloginserversxml", {"ACME", "ALICE"}).status, 200);
}

}  // namespace
}  // namespace kx::server::test
