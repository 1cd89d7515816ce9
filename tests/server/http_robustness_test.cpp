// The HTTP face under hostile clients: slow and idle connections, refusals that leave nothing
// behind on the connection, statuses and texts of refusals, bounded memory for nested JSON.

#include <sys/resource.h>

#include <chrono>
#include <regex>

#include "server/catalog.h"
#include "tests/server/server_fixture.h"

namespace kx::server::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kReportPath = "/GenErrorReport.asp";
// A request the server answers with "alpha" and keeps the connection open.
const std::string kGetA =
    "GET /bo/server1/BROKER/InstallFiles/10/a.txt HTTP/1.1\r\nHost: x\r\n\r\n";

long peakResidentKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST_F(ServerTest, DeeplyNestedJsonIsRefusedBeforeItIsBuilt) {
    const long before = peakResidentKilobytes();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(postAt(*client_, "/", std::string(1 << 20, '[')).status, 400);
    }
    // Building the tree of a mebibyte of "[" costs some 80 MB.
    EXPECT_LT(peakResidentKilobytes() - before, 32 * 1024);
}

TEST_F(ServerTest, ConnectionsBeyondTheCapAreClosedAndLogged) {
    restartServer([](ServerOptions& options) { options.maxConnections = 1; });
    RawConnection first(port());
    first.send("GET /x HTTP/1.1\r\nHost: x\r\n\r\n");
    ASSERT_NE(first.receive(500).find(" 404 "), std::string::npos);
    RawConnection second(port());
    second.send("GET /x HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(second.receive(2000), "");
    EXPECT_TRUE(second.closed());
    stopServer();
    EXPECT_TRUE(contains(log_.str(), "closed unanswered: 1 connections, the most allowed"));
}

TEST_F(ServerTest, RefusalsLeaveNoBodyBehindAndCloseWhenTheySaySo) {
    RawConnection multipart(port());
    multipart.send(
        "POST /bo/server1 HTTP/1.1\r\nHost: x\r\nContent-Type: multipart/form-data\r\n"
        "Content-Length: " +
        std::to_string(kGetA.size()) + "\r\n\r\n");
    std::this_thread::sleep_for(300ms);  // the body arrives after the refusal
    multipart.send(kGetA);
    const std::string answers = multipart.receive(1500);
    EXPECT_EQ(countOf(answers, "HTTP/1.1 "), 1u) << answers;
    EXPECT_FALSE(contains(answers, "alpha"));

    // A body too large to read is refused at once, and the connection closed as announced.
    RawConnection tooLarge(port());
    tooLarge.send("POST /bo/server1 HTTP/1.1\r\nHost: x\r\nContent-Length: 2000000\r\n\r\n{");
    const std::string refusal = tooLarge.receive(3000);
    EXPECT_TRUE(contains(refusal, " 413 "));
    EXPECT_TRUE(contains(refusal, "Connection: close"));
    EXPECT_TRUE(tooLarge.closed());
}

TEST_F(ServerTest, RefusalsHaveFittingStatusesAndNeverLookLikeAStoredReport) {
    const std::string multipart =
        "--x\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nb\r\n--x--\r\n";
    std::string manyFields;
    for (int i = 0; i < 1001; ++i) {
        manyFields += "f=v&";
    }
    const std::string huge(9 << 20, 'x');
    struct Case {
        std::string path;
        std::string body;
        std::string type;
        int status;
    };
    const std::vector<Case> cases = {
        {"/bo/server1", multipart, "multipart/form-data; boundary=x", 415},
        {kReportPath, multipart, "multipart/form-data; boundary=x", 415},
        {kReportPath, "", "application/x-www-form-urlencoded", 400},
        {kReportPath, manyFields, "application/x-www-form-urlencoded", 413},
        {kReportPath, huge, "application/x-www-form-urlencoded", 413},
        {kReportPath + std::string("?") + std::string(20000, '1'), "a=b",
         "application/x-www-form-urlencoded", 414},
    };
    for (const auto& c : cases) {
        const auto answer = client_->Post(c.path, c.body, c.type.c_str());
        ASSERT_TRUE(answer) << c.path.substr(0, 40);
        EXPECT_EQ(answer->status, c.status) << c.path.substr(0, 40) << " " << c.type;
        if (c.path.rfind(kReportPath, 0) == 0) {
            EXPECT_FALSE(contains(answer->body, "1"));
        }
    }
    const auto fields = client_->Post(kReportPath, manyFields, "application/x-www-form-urlencoded");
    EXPECT_TRUE(contains(fields->body, "fields"));
    EXPECT_TRUE(storedReports().empty());
    stopServer();
    // Each of the six refused reports leaves one line that says why.
    EXPECT_EQ(countOf(log_.str(), "error report not stored ("), 6u) << log_.str();
    EXPECT_TRUE(contains(log_.str(), "(413): it has more than a thousand fields."));
}

TEST_F(ServerTest, InternalFailuresAreLoggedNotShownAndTheLogTimesEachRequest) {
    // The first request of a fresh server is one it cannot even parse.
    RawConnection garbage(port());
    garbage.send("NONSENSE\r\n\r\n");
    EXPECT_TRUE(contains(garbage.receive(1000), " 400 "));
    {
        Database catalog(Catalog::fileIn(dir_.path()).string(), false);
        catalog.exec("DROP TABLE tokens; DROP TABLE error_reports");
    }
    const auto login =
        call(kServer1, "KXBO_V2.Init", "LoginUser", {"ACME", "ALICE", "s3cret pass", "ip"});
    EXPECT_EQ(login.status, 500);
    const std::string description = login.body.at("error").at("description");
    EXPECT_FALSE(contains(description, "tokens"));
    const auto report = client_->Post(kReportPath, "a=b", "application/x-www-form-urlencoded");
    EXPECT_EQ(report->status, 500);
    EXPECT_FALSE(contains(report->body, "1"));

    RawConnection slowBody(port());
    slowBody.send("POST /slow-body HTTP/1.1\r\nHost: x\r\nContent-Length: 2\r\n\r\n");
    std::this_thread::sleep_for(400ms);
    slowBody.send("{}");
    slowBody.receive(1000);
    {
        RawConnection finished(port());
        finished.send(kGetA);
        EXPECT_TRUE(contains(finished.receive(200), " 200 "));
        EXPECT_FALSE(finished.closed());  // kept open for a further request
        RawConnection cutOff(port());
        cutOff.send("POST /cut-off HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\n\r\nab");
    }
    std::this_thread::sleep_for(300ms);
    stopServer();

    const std::string log = log_.str();
    EXPECT_TRUE(contains(log, "no such table: tokens"));
    EXPECT_TRUE(contains(log, "error report not stored (500)"));
    // Only the request cut off part way is noted, not the connections closed between requests.
    EXPECT_EQ(countOf(log, "request left unanswered"), 1u) << log;
    EXPECT_TRUE(contains(log, "before its end: POST /cut-off"));
    std::smatch match;
    ASSERT_TRUE(std::regex_search(log, match, std::regex(R"(400 \d+ ([0-9.]+)ms)"))) << log;
    EXPECT_LT(std::stod(match[1]), 10'000.0) << log;
    ASSERT_TRUE(std::regex_search(log, match, std::regex(R"(/slow-body \d+ \d+ ([0-9.]+)ms)")));
    // The server starts its clock once the first bytes are read, a little after they were sent:
    // the time is a hair under the 400 ms slept, yet far above the body's own arrival.
    EXPECT_GE(std::stod(match[1]), 350.0) << log;
}

}  // namespace
}  // namespace kx::server::test
