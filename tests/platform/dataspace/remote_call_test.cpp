// The bytes of a request and the reading of answers, without a network.

#include "platform/dataspace/remote_call.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>

#include "platform/dataspace/data_space.h"
#include "platform/runtime/dispatch.h"
#include "tests/support/raised_error.h"

namespace kx::dataspace {
namespace {

using kx::test::raisedError;

TEST(RemoteCallRequest, ArgumentsTheWireCannotCarryAreRefusedByPositionWithoutTheirText) {
    const std::vector<Variant> withObject{"a", Variant::object(std::make_shared<Collection>())};
    auto error = raisedError([&] { buildCallRequest("P.C", "Do", withObject); });
    EXPECT_EQ(error.number(), vberr::kTypeMismatch);
    EXPECT_NE(error.description().find("argument 2 of Do"), std::string::npos);

    error = raisedError([] { buildCallRequest("P.C", "Do", {Variant(OleDate{45000.0})}); });
    EXPECT_EQ(error.number(), vberr::kTypeMismatch);
    error = raisedError([] { buildCallRequest("P.C", "Do", {Variant::missing()}); });
    EXPECT_EQ(error.number(), vberr::kTypeMismatch);

    // JSON would silently turn these into null.
    error = raisedError(
        [] { buildCallRequest("P.C", "Do", {std::numeric_limits<double>::infinity()}); });
    EXPECT_EQ(error.number(), vberr::kInvalidProcedureCall);
    // Invalid UTF-8 is refused without echoing the text.
    error =
        raisedError([] { buildCallRequest("P.C", "LoginUser", {std::string("secr\xff\xfe")}); });
    EXPECT_EQ(error.number(), vberr::kInvalidProcedureCall);
    EXPECT_EQ(error.description().find("secr"), std::string::npos);
}

TEST(RemoteCallAnswer, ResultKindsBecomeTheMatchingVariantsAndAnythingElseIsMalformed) {
    const auto read = [](const std::string& body) {
        return interpretCallAnswer({200, body}, "http://h/x", "P.C");
    };
    // Text and true results: the data space's own tests.
    EXPECT_EQ(read(R"({"result":-7})").type(), VarType::Long);
    EXPECT_EQ(read(R"({"result":2147483648})").type(), VarType::LongLong);
    EXPECT_EQ(read(R"({"result":-9007199254740993})").numberValue(), -9007199254740993.0);
    EXPECT_EQ(read(R"({"result":2.5})").numberValue(), 2.5);
    EXPECT_TRUE(read(R"({"result":null})").isEmpty());
    // Anything but a scalar result or an error.
    for (const char* body : {"", "<html>", "[1]", "{}", R"({"result":[1]})", R"({"result":{}})",
                             R"({"error":{"number":0,"description":"x"}})",
                             R"({"error":{"number":5000000000,"description":"x"}})"}) {
        const auto error = raisedError([&] { read(body); });
        EXPECT_EQ(error.number(), errors::kMalformedAnswer) << body;
        EXPECT_NE(error.description().find("http://h/x"), std::string::npos) << body;
    }
}

TEST(RemoteCallAnswer, ErrorStatusWithoutErrorDocumentNamesTheStatusAndServerErrorsKeepTheirOwn) {
    for (const char* body : {"Service Unavailable", R"({"result":"ok"})", R"({"error":"x"})"}) {
        const auto error = raisedError([&] { interpretCallAnswer({503, body}, "http://h", "P"); });
        EXPECT_EQ(error.number(), errors::kHttpStatus);
        EXPECT_EQ(error.description(), "The server at http://h answered HTTP 503");
    }
    // A server error keeps its number and text whatever the status.
    for (const long status : {200L, 500L}) {
        const auto error = raisedError([&] {
            interpretCallAnswer(
                {status, R"({"error":{"number":-2147221503,"description":"No such method"}})"},
                "http://h", "KXBO_V2.Init");
        });
        EXPECT_EQ(error.number(), -2147221503);
        EXPECT_EQ(error.description(), "No such method");
        EXPECT_EQ(error.source(), "KXBO_V2.Init");
    }
}

}  // namespace
}  // namespace kx::dataspace
