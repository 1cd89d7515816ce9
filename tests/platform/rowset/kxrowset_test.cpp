// The kxrowset program, started as a real process.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "tests/platform/rowset/rowset_test_support.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace kx::rowset {
namespace {

using test::fixture;

// Runs kxrowset with `arguments`, its standard input read from `input`.
kx::test::ProcessResult runTool(const std::vector<std::string>& arguments,
                                const std::string& input = {}) {
    const kx::test::TempDir dir;
    return kx::test::runProcessWithInput(KX_BIN_DIR "/kxrowset", arguments, input, dir.path());
}

TEST(KxRowsetTool, ShowPrintsTheFilteredRowsOfAFileOrStandardInputAsJsonOrExitsWithTheReason) {
    const auto run = runTool(
        {"show", fixture("authors.xml"), "--filter", "state = 'KS' OR au_lname = 'o''leary'"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto json = nlohmann::json::parse(run.out);
    EXPECT_EQ(json["fields"].size(), 9u);
    EXPECT_EQ(json["fields"][0], (nlohmann::json{{"name", "au_id"}, {"type", "adVarChar"}}));
    ASSERT_EQ(json["rows"].size(), 2u);
    EXPECT_EQ(json["rows"][0]["au_lname"], "O'Leary");
    EXPECT_EQ(json["rows"][0]["contract"], true);
    EXPECT_EQ(json["rows"][1]["contract"], false);
    // Standard input, with numbers and Nulls.
    const auto fromInput = runTool({"show", "-"}, kx::test::readFile(fixture("item_prices.xml")));
    ASSERT_EQ(fromInput.exitCode, 0) << fromInput.err;
    const auto prices = nlohmann::json::parse(fromInput.out);
    ASSERT_EQ(prices["rows"].size(), 4u);
    EXPECT_EQ(prices["rows"][0]["ItemCode"], 1);
    EXPECT_EQ(prices["rows"][0]["Unit Price"], 12.5);
    EXPECT_TRUE(prices["rows"][1]["Unit Price"].is_null());
    EXPECT_EQ(prices["fields"][1]["type"], "adCurrency");

    // Bad data exits 1 and bad arguments 2, with the reason. Every failure of the data goes through
    // one catch; each is described by the unit tests.
    const auto broken = runTool({"show", "-"}, "<xml><broken></xml>");
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_NE(broken.err.find("kxrowset: The row-set document is not well-formed XML"),
              std::string::npos)
        << broken.err;
    EXPECT_EQ(broken.out, "");
    const auto usage = runTool({"list"});
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_EQ(usage.err, "Usage: kxrowset show FILE|- [--filter EXPR]\n");
    EXPECT_EQ(usage.out, "");
}

}  // namespace
}  // namespace kx::rowset
