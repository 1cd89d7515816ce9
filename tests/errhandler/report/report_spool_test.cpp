// The report spool against real servers on loopback: what a report keeps on disk before its first
// post, what each answer does to it when it is sent later, and the caps and damaged files a spool
// folder can hold. Two processes sending at once are the launcher's whole-program tests.

#include "errhandler/report/report_spool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <set>
#include <tuple>

#include "errhandler/http/url_encode.h"
#include "errhandler/report/report_run.h"
#include "errhandler/report/spooled_sending.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_dir.h"

namespace kx::errhandler {
namespace {

namespace fs = std::filesystem;
using test::httpResponse;
using test::LoopbackHttpServer;

constexpr std::int64_t kMinute = 60;

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// The form field that ends the body of the report `identity`, and a body with it.
std::string idField(const ReportIdentity& identity) {
    return std::string("&") + kReportIdField + "=" + URLEncode(identity.id);
}
std::string bodyOf(const ReportIdentity& identity) {
    return "Routine=R" + idField(identity);
}

// The report numbered `n` (below 90), made at `createdAt`: ids of one length, so bodies too.
ReportIdentity numbered(int n, std::int64_t createdAt) {
    return {"00000000-0000-4000-8000-0000000000" + std::to_string(10 + n), createdAt};
}

class ReportSpoolTest : public ::testing::Test {
  protected:
    // A report of `identity` in the spool, last tried a minute before `now`.
    void spoolReport(const ReportIdentity& identity, const std::string& body) {
        spool.add(identity, body, now).value().keep(now - kMinute);
    }
    int sendRound(const std::string& url) {
        ReportSettings settings{url, {}, spool.folder()};
        settings.transfer.connectTimeout = settings.transfer.stallTimeout = std::chrono::seconds(5);
        return sendSpooledReports(spool, settings, now);
    }

    test::ProxyFreeEnvironment environment;
    test::TempDir state;
    std::int64_t now = secondsNow();
    ReportSpool spool{(state / "reports").string()};
};

// Unless the machine names another address, reports go to the vendor over https; they wait in
// the user's state folder.
TEST_F(ReportSpoolTest, ReportsGoToTheVendorOverHttpsAndWaitInTheUsersStateFolder) {
    const test::ScopedRegistry registry;
    environment.unset("KX_ERROR_REPORT_URL");
    environment.set("XDG_STATE_HOME", state.str());
    const ReportSettings settings = ReportSettings::ofThisMachine();
    EXPECT_EQ(settings.url, "https://www.kestrix.com/GenErrorReport.asp");
    EXPECT_EQ(settings.spoolFolder, state.str() + "/Kestrix/ZNErrHandler/reports");
}

// A report that fails is kept, owner-only, as the exact bytes it posted, its id the last of its
// fields; a later round posts those bytes again, and the delivered copy goes.
TEST_F(ReportSpoolTest, AReportIsKeptAsTheBodyItPostedUntilTheServerConfirmsIt) {
    std::atomic<int> posts = 0;
    LoopbackHttpServer server([&](const test::HttpRequest&, test::HttpReply& reply) {
        reply.send(++posts == 1 ? httpResponse("500 Server Error", "Error")
                                : httpResponse("200 OK", "1"));
    });
    const ErrorInfo record{"P", "1.2", "M", "R", 10, 5, "Oops", "ctx", "/lib", "ZN", "/lib/h"};
    const ReportSources fixed{[] { return DiagnosticsInputs{}; }, [] { return std::string("T"); }};
    const ReportIdentity identity = ReportIdentity::fresh();
    const ReportSettings settings{server.url("/GenErrorReport.asp"), {}, spool.folder()};
    EXPECT_EQ(ReportRun(record, fixed, settings, identity).post(), "");

    const fs::path kept = fs::path(spool.folder()) / identity.fileName();
    EXPECT_EQ(namesIn(spool.folder()), std::set<std::string>{identity.fileName()});
    EXPECT_EQ(fs::status(spool.folder()).permissions(), fs::perms::owner_all);
    EXPECT_EQ(fs::status(kept).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    const std::string body = test::readFile(kept);
    EXPECT_EQ(server.requests().at(0).body, body);
    EXPECT_TRUE(body.ends_with(idField(identity))) << body;
    now += kMinute;
    EXPECT_EQ(sendRound(settings.url), 1);
    EXPECT_EQ(server.requests().at(1).body, body);
    EXPECT_TRUE(namesIn(spool.folder()).empty());
}

// "1" delivers; a 4xx other than 408 and 429 refuses for good; the rest is tried again later, the
// longer after the older the report. Without any answer the round stops: the server is out of
// reach for the others too.
TEST_F(ReportSpoolTest, TheAnswerDecidesWhetherASpooledReportStaysAndNoAnswerEndsTheRound) {
    // The answer; whether it delivers; whether the report stays.
    const std::tuple<std::string, bool, bool> answers[] = {
        {httpResponse("200 OK", "Stored as 1"), true, false},
        {httpResponse("413 Too Large", ""), false, false},
        {httpResponse("408 Timeout", ""), false, true},
        {httpResponse("429 Slow Down", "1"), false, true},
        {httpResponse("503 Busy", ""), false, true},
        {httpResponse("200 OK", "stored?"), false, true}};
    for (const auto& [answer, delivers, stays] : answers) {
        LoopbackHttpServer server(test::rawAnswer(answer));
        const ReportIdentity identity = ReportIdentity::fresh();
        spoolReport(identity, bodyOf(identity));
        EXPECT_EQ(sendRound(server.url("/r")), delivers ? 1 : 0) << answer;
        EXPECT_EQ(namesIn(spool.folder()).size(), stays ? 1u : 0u) << answer;
        EXPECT_EQ(sendRound(server.url("/r")), 0) << "a report just tried is not due at once";
        EXPECT_EQ(server.requests().size(), 1u);
        fs::remove_all(spool.folder());
    }
    const auto due = [](std::int64_t age, std::int64_t sinceTried) {
        return reportDue({{"", -age}, "", 0, -sinceTried}, 0);
    };
    EXPECT_EQ((std::vector<bool>{due(0, 4), due(0, 5), due(36000, 3599), due(36000, 3600),
                                 due(2'000'000, 21599), due(2'000'000, 21600)}),
              (std::vector<bool>{false, true, false, true, false, true}));

    test::RefusingPort closed;
    for (int i = 0; i < 3; ++i) {
        spoolReport(numbered(i, now - 3 - i), bodyOf(numbered(i, now - 3 - i)));
    }
    EXPECT_EQ(sendRound(closed.url("/r")), 0);
    const std::vector<SpoolEntry> left = spool.prunedEntries(now);
    ASSERT_EQ(left.size(), 3u);
    EXPECT_EQ(left[0].identity.id, numbered(2, 0).id) << "oldest first";
    EXPECT_EQ(std::make_tuple(left[0].lastAttempt, left[1].lastAttempt, left[2].lastAttempt),
              std::make_tuple(now, now - kMinute, now - kMinute))
        << "tried first, and alone";
}

// The newest thirty within the size cap and thirty days stay; the temporary file of a writer that
// died is never taken for a report, and goes once a day old; other files are left alone; a body
// damaged, or under another report's name, is removed rather than sent.
TEST_F(ReportSpoolTest, TheCapsKeepTheNewestReportsAndTornOrDamagedFilesAreNeverSent) {
    std::set<std::string> expected = {"notes.txt"};
    for (int i = 0; i < 40; ++i) {
        const ReportIdentity identity = numbered(i, now - 40 + i);
        spoolReport(identity, bodyOf(identity));
        if (i >= 10) {
            expected.insert(identity.fileName());
        }
    }
    const fs::path folder = spool.folder();
    const std::string torn = "." + numbered(39, now - 1).fileName() + ".kxnew";
    test::writeFile(folder / torn, "ProjectName=torn");
    test::writeFile(folder / ".old.report.kxnew", "ProjectName=torn");
    fs::last_write_time(folder / ".old.report.kxnew",
                        fs::file_time_type::clock::now() - std::chrono::hours(25));
    test::writeFile(folder / "notes.txt", "not a report");
    const ReportIdentity stale = numbered(50, now - 31 * 24 * 3600);
    test::writeFile(folder / stale.fileName(), bodyOf(stale));
    expected.insert(torn);
    EXPECT_EQ(spool.prunedEntries(now).size(), 30u);
    EXPECT_EQ(namesIn(folder), expected);
    const std::vector<SpoolEntry> fitting =
        ReportSpool(folder, {30, 250, 30 * 24 * 3600}).prunedEntries(now);
    ASSERT_EQ(fitting.size(), 250 / bodyOf(stale).size());
    EXPECT_EQ(fitting.back().identity.id, numbered(39, 0).id);

    fs::remove_all(folder);
    spoolReport(ReportIdentity::fresh(), bodyOf(ReportIdentity::fresh()));
    LoopbackHttpServer server(test::rawAnswer(httpResponse("200 OK", "1")));
    EXPECT_EQ(sendRound(server.url("/r")), 0);
    EXPECT_TRUE(server.requests().empty());
    EXPECT_TRUE(namesIn(folder).empty());
}

}  // namespace
}  // namespace kx::errhandler
