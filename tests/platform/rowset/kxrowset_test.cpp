// The kxrowset program, started as a real process.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

#include "rowset_test_support.h"
#include "temp_dir.h"

namespace kx::rowset {
namespace {

using test::fixture;

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string quoted(const std::string& text) {
    std::string result = "'";
    for (char c : text) {
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return result + "'";
}

// Runs kxrowset with `arguments` (already quoted), standard input from `input` when given.
ToolRun runTool(const std::string& arguments, const std::string& input = {}) {
    kx::test::TempDir dir;
    kx::test::writeFile(dir / "in", input);
    const std::string command = quoted(std::string(KX_BIN_DIR) + "/kxrowset") + " " + arguments +
                                " <" + quoted((dir / "in").string()) + " >" +
                                quoted((dir / "out").string()) + " 2>" +
                                quoted((dir / "err").string());
    const int status = std::system(command.c_str());
    ToolRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = kx::test::readFile(dir / "out");
    run.err = kx::test::readFile(dir / "err");
    return run;
}

TEST(KxRowsetTool, ShowPrintsTheSchemaAndTheFilteredRowsAsJson) {
    const ToolRun run = runTool("show " + quoted(fixture("authors.xml")) +
                                " --filter \"state = 'KS' OR au_lname = 'o''leary'\"");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto json = nlohmann::json::parse(run.out);
    EXPECT_EQ(json["fields"].size(), 9u);
    EXPECT_EQ(json["fields"][0], (nlohmann::json{{"name", "au_id"}, {"type", "adVarChar"}}));
    ASSERT_EQ(json["rows"].size(), 2u);
    EXPECT_EQ(json["rows"][0]["au_lname"], "O'Leary");
    EXPECT_EQ(json["rows"][0]["contract"], true);
    EXPECT_EQ(json["rows"][1]["contract"], false);
}

TEST(KxRowsetTool, ShowReadsStandardInputWithNumbersAndNulls) {
    const ToolRun run = runTool("show -", kx::test::readFile(fixture("item_prices.xml")));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto json = nlohmann::json::parse(run.out);
    ASSERT_EQ(json["rows"].size(), 4u);
    EXPECT_EQ(json["rows"][0]["ItemCode"], 1);
    EXPECT_EQ(json["rows"][0]["Unit Price"], 12.5);
    EXPECT_TRUE(json["rows"][1]["Unit Price"].is_null());
    EXPECT_EQ(json["fields"][1]["type"], "adCurrency");
}

TEST(KxRowsetTool, BadInputExitsNonZeroWithTheDescription) {
    struct Case {
        std::string arguments;
        std::string input;
        int exitCode;
        std::string message;
    };
    const Case cases[] = {
        {"show /nonexistent/list.xml", "", 1, "could not be opened"},
        {"show -", "<xml><broken></xml>", 1, "not well-formed XML"},
        {"show " + quoted(fixture("authors.xml")) + " --filter \"state ==\"", "", 1,
         "filter criterion is invalid"},
        {"list", "", 2, "Usage: kxrowset show"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("case: " + c.arguments);
        const ToolRun run = runTool(c.arguments, c.input);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
}

}  // namespace
}  // namespace kx::rowset
