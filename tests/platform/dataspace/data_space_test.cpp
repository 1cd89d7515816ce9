// Calls through the data space against a real HTTP server on loopback.

#include "platform/dataspace/data_space.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/support/loopback_http_server.h"
#include "tests/support/raised_error.h"
#include "tests/support/scoped_environment.h"

namespace kx::dataspace {
namespace {

using kx::test::fixedAnswer;
using kx::test::LoopbackHttpServer;
using kx::test::raisedError;
using nlohmann::json;

class DataSpaceCall : public ::testing::Test {
  protected:
    kx::test::ProxyFreeEnvironment environment_;
    DataSpace dataSpace_;
};

TEST_F(DataSpaceCall, PostsProgIdMethodAndEveryArgumentKindAsJson) {
    LoopbackHttpServer server(fixedAnswer(200, R"({"result":"token-1"})"));
    const auto object = dataSpace_.CreateObject("KXBOGeneral_V3.Init", server.url("/bo/x.asp"));

    std::vector<Variant> args{
        "FILER \"1\" \xc3\xa9", true, false,     std::int16_t{-3}, std::int32_t{70000},
        std::int64_t{1} << 40,  2.5,  Variant(), Variant::null(),  std::uint8_t{255}};
    EXPECT_EQ(object->invoke("LoginUser", InvokeKind::Method, args).asString(), "token-1");

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path, "/bo/x.asp");
    EXPECT_EQ(requests[0].header("Content-Type"), "application/json");
    const json expected = {{"progid", "KXBOGeneral_V3.Init"},
                           {"method", "LoginUser"},
                           {"args",
                            {"FILER \"1\" \xc3\xa9", true, false, -3, 70000, std::int64_t{1} << 40,
                             2.5, nullptr, nullptr, 255}}};
    EXPECT_EQ(json::parse(requests[0].body), expected);
    // By-reference arguments are left as they were: the wire carries nothing back.
    EXPECT_EQ(args[0].asString(), "FILER \"1\" \xc3\xa9");
}

TEST_F(DataSpaceCall, HttpErrorWithoutJsonNamesServerAndStatusAndAnswersBeyondTheLimitAreRefused) {
    LoopbackHttpServer server(fixedAnswer(503, "<html>busy</html>", "text/html"));
    const auto url = server.url("/bo");
    const auto error = raisedError(
        [&] { dataSpace_.CreateObject("KXBO_V2.Init", url)->call("GetDeploymentsXML"); });
    EXPECT_EQ(error.number(), errors::kHttpStatus);
    EXPECT_EQ(error.description(), "The server at " + url + " answered HTTP 503");

    // An answer beyond the limit is refused.
    const std::string big = R"({"result":")" + std::string(4096, 'x') + "\"}";
    LoopbackHttpServer large(fixedAnswer(200, big));
    dataSpace_.settings().maxAnswerBytes = 1024;
    EXPECT_EQ(
        raisedError([&] { dataSpace_.CreateObject("P.C", large.url())->call("Get"); }).number(),
        errors::kAnswerTooLarge);
    dataSpace_.settings().maxAnswerBytes = big.size();
    EXPECT_EQ(dataSpace_.CreateObject("P.C", large.url())->call("Get").asString().size(), 4096u);
}

TEST_F(DataSpaceCall, ConnectorWorksByNameAsTheLauncherUsesItAndRefusesUnusableSettingsAtOnce) {
    LoopbackHttpServer server(fixedAnswer(200, R"({"result":true})"));
    Dispatch& connector = dataSpace_;
    EXPECT_EQ(connector.get("InternetTimeout").numberValue(), 300000.0);
    connector.put("InternetTimeout", std::int32_t{5000});
    EXPECT_EQ(dataSpace_.settings().overallTimeout, std::chrono::milliseconds(5000));
    connector.put("CAFile", "/etc/ssl/private.pem");
    EXPECT_EQ(dataSpace_.CAFile(), "/etc/ssl/private.pem");
    dataSpace_.setCAFile({});

    const Variant object = connector.call("CreateObject", {"KXBO_V2.Init", server.url()});
    EXPECT_TRUE(object.asObject().object->call("isValidLogin").asBool());

    // Unusable settings and addresses are refused at once.
    EXPECT_EQ(raisedError([&] { dataSpace_.setInternetTimeout(0); }).number(),
              vberr::kInvalidProcedureCall);
    for (const char* url : {"", "ftp://h/x", "file:///etc/passwd", "http://h/a b", "h/x"}) {
        EXPECT_EQ(raisedError([&] { dataSpace_.CreateObject("P.C", url); }).number(),
                  errors::kInvalidUrl)
            << url;
    }
    EXPECT_EQ(raisedError([&] { dataSpace_.CreateObject("", "http://h/"); }).number(),
              vberr::kInvalidProcedureCall);
}

}  // namespace
}  // namespace kx::dataspace
