// The report spool against real servers on loopback: what a report keeps on disk before its first
// post, what each answer does to it when it is sent later, and the caps, locks and damaged files
// a spool folder can hold.

#include "report_spool.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>
#include <tuple>

#include "loopback_http_server.h"
#include "registry_value.h"
#include "report_address.h"
#include "report_run.h"
#include "scoped_environment.h"
#include "spooled_sending.h"
#include "temp_dir.h"
#include "url_encode.h"

namespace kx::errhandler {
namespace {

namespace fs = std::filesystem;
using test::httpResponse;
using test::LoopbackHttpServer;

constexpr std::int64_t kMinute = 60;

mode_t modeOf(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The form field that ends the body of the report `identity`.
std::string idField(const ReportIdentity& identity) {
    return std::string("&") + kReportIdField + "=" + URLEncode(identity.id);
}

// A body as the report writes it, for the report `identity`.
std::string bodyOf(const ReportIdentity& identity, const std::string& routine = "R") {
    return "Routine=" + routine + idField(identity);
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
    ReportSettings settingsFor(const std::string& url) const {
        ReportSettings settings{url, {}, spool.folder()};
        settings.transfer.connectTimeout = settings.transfer.stallTimeout = std::chrono::seconds(5);
        return settings;
    }

    test::ProxyFreeEnvironment environment;
    test::TempDir state;
    std::int64_t now = secondsNow();
    ReportSpool spool{(state / "reports").string()};
};

// This machine's settings: the user's spool, and the vendor's address over https unless the
// setting names another, plain http included.
TEST_F(ReportSpoolTest, ReportsGoToTheVendorOverHttpsAndWaitInTheUsersStateFolder) {
    const test::ScopedRegistry registry;
    environment.unset("KX_ERROR_REPORT_URL");
    environment.set("XDG_STATE_HOME", state.str());
    const ReportSettings settings = ReportSettings::ofThisMachine();
    EXPECT_EQ(settings.url, "https://www.kestrix.com/GenErrorReport.asp");
    EXPECT_EQ(settings.spoolFolder, state.str() + "/Kestrix/ZNErrHandler/reports");
    const std::string plain = "http://reports.example/GenErrorReport.asp";
    ASSERT_EQ(test::writeRegistryValue(registry::Hive::LocalMachine, kReportUrlKey,
                                       kReportUrlValue, plain),
              registry::kErrorSuccess);
    EXPECT_EQ(ReportSettings::ofThisMachine().url, plain);
}

// A report that fails is kept as the exact bytes it posted, its id the last of its fields; the
// next round posts those bytes again, and the delivered copy goes.
TEST_F(ReportSpoolTest, AReportIsKeptAsTheBodyItPostedUntilTheServerConfirmsIt) {
    const std::string folder = spool.folder();
    std::atomic<int> posts = 0;
    LoopbackHttpServer server([&](const test::HttpRequest&, test::HttpReply& reply) {
        reply.send(++posts == 1 ? httpResponse("500 Server Error", "Error")
                                : httpResponse("200 OK", "1"));
    });
    const ReportSettings settings = settingsFor(server.url("/GenErrorReport.asp"));
    const ErrorInfo record{"P",    "1.2",          "M",     "R", 10, 5, "Oops", "ctx",
                           "/lib", "ZNErrHandler", "/lib/h"};
    const ReportSources fixed{[] { return DiagnosticsInputs{}; }, [] { return std::string("T"); }};
    const ReportIdentity identity = ReportIdentity::fresh();

    EXPECT_EQ(ReportRun(record, fixed, settings, identity).post(), "");
    ASSERT_EQ(namesIn(folder), std::vector<std::string>{identity.fileName()});
    const fs::path kept = fs::path(folder) / identity.fileName();
    EXPECT_EQ(modeOf(folder), 0700u);
    EXPECT_EQ(modeOf(kept), 0600u);
    const std::string body = test::readFile(kept);
    EXPECT_EQ(server.requests().at(0).body, body);
    EXPECT_TRUE(body.ends_with(idField(identity))) << body;

    ReportSpool again(folder);
    EXPECT_EQ(sendSpooledReports(again, settings, now), 0) << "just tried: not yet due";
    EXPECT_EQ(sendSpooledReports(again, settings, now + kMinute), 1);
    EXPECT_EQ(server.requests().at(1).body, body);
    EXPECT_TRUE(namesIn(folder).empty());
}

// "1" delivers; a 4xx other than 408 and 429 refuses for good; the rest is tried again later.
// Without any answer the round stops: the server is out of reach for the others too.
TEST_F(ReportSpoolTest, TheAnswerDecidesWhetherASpooledReportStaysAndNoAnswerEndsTheRound) {
    // The answer; whether it delivers; whether the report stays.
    const std::tuple<std::string, bool, bool> answers[] = {
        {httpResponse("200 OK", "Stored as 1"), true, false},
        {httpResponse("404 Not Found", ""), false, false},
        {httpResponse("413 Too Large", ""), false, false},
        {httpResponse("408 Timeout", ""), false, true},
        {httpResponse("429 Slow Down", "1"), false, true},
        {httpResponse("503 Busy", ""), false, true},
        {httpResponse("200 OK", "stored?"), false, true}};
    for (const auto& [answer, delivers, stays] : answers) {
        LoopbackHttpServer server(test::rawAnswer(answer));
        const ReportIdentity identity = ReportIdentity::fresh();
        spoolReport(identity, bodyOf(identity));
        const int delivered = sendSpooledReports(spool, settingsFor(server.url("/r")), now);
        EXPECT_EQ(delivered, delivers ? 1 : 0) << answer;
        EXPECT_EQ(namesIn(spool.folder()).size(), stays ? 1u : 0u) << answer;
        EXPECT_EQ(sendSpooledReports(spool, settingsFor(server.url("/r")), now), 0)
            << "a report tried now is not due again at once";
        EXPECT_EQ(server.requests().size(), 1u);
        fs::remove_all(spool.folder());
    }

    test::RefusingPort closed;
    std::vector<ReportIdentity> waiting;
    for (int i = 0; i < 3; ++i) {
        waiting.push_back(numbered(i, now - 3 - i));
        spoolReport(waiting.back(), bodyOf(waiting.back()));
    }
    EXPECT_EQ(sendSpooledReports(spool, settingsFor(closed.url("/r")), now), 0);
    const std::vector<SpoolEntry> left = spool.prunedEntries(now);
    ASSERT_EQ(left.size(), 3u);
    EXPECT_EQ(left[0].identity.id, waiting[2].id) << "oldest first";
    EXPECT_EQ(left[0].lastAttempt, now) << "tried first, and alone";
    EXPECT_EQ(left[1].lastAttempt, now - kMinute);
    EXPECT_EQ(left[2].lastAttempt, now - kMinute);
}

// A report waits longer between tries the older it gets.
TEST(ReportDue, TheWaitGrowsWithTheReportsAge) {
    const auto due = [](std::int64_t age, std::int64_t sinceTried) {
        return reportDue({{"", 1'000'000 - age}, "", 0, 1'000'000 - sinceTried}, 1'000'000);
    };
    EXPECT_FALSE(due(0, 4));
    EXPECT_TRUE(due(0, 5));
    EXPECT_FALSE(due(10 * 3600, 3599));
    EXPECT_TRUE(due(10 * 3600, 3600));
    EXPECT_FALSE(due(20 * 24 * 3600, 6 * 3600 - 1));
    EXPECT_TRUE(due(20 * 24 * 3600, 6 * 3600));
}

// The newest thirty within 32 MiB and thirty days stay; temporary files of writers that died are
// never taken for reports, and go once a day old; files that are no reports are left alone.
TEST_F(ReportSpoolTest, TheCapsKeepTheNewestReportsAndTornFilesAreNeverSent) {
    std::vector<std::string> newest;
    for (int i = 0; i < 40; ++i) {
        const ReportIdentity identity = numbered(i, now - 40 + i);
        spoolReport(identity, bodyOf(identity));
        newest.push_back(identity.fileName());
    }
    newest.erase(newest.begin(), newest.end() - 30);
    const fs::path folder = spool.folder();
    test::writeFile(folder / ("." + newest.back() + ".kxnew"), "ProjectName=torn");
    test::writeFile(folder / ".old.report.kxnew", "ProjectName=torn");
    fs::last_write_time(folder / ".old.report.kxnew",
                        fs::last_write_time(folder / ".old.report.kxnew") - std::chrono::hours(25));
    test::writeFile(folder / "notes.txt", "not a report");
    const ReportIdentity stale = numbered(50, now - 31 * 24 * 3600);
    test::writeFile(folder / stale.fileName(), bodyOf(stale));

    std::vector<std::string> expected = newest;
    expected.insert(expected.begin(), "." + newest.back() + ".kxnew");
    expected.push_back("notes.txt");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(spool.prunedEntries(now).size(), 30u);
    EXPECT_EQ(namesIn(folder), expected);

    ReportSpool small(spool.folder(), {30, 250, 30 * 24 * 3600});
    const std::vector<SpoolEntry> fitting = small.prunedEntries(now);
    ASSERT_EQ(fitting.size(), 250 / bodyOf(stale).size());
    EXPECT_EQ(fitting.back().identity.fileName(), newest.back());

    // A body damaged, or put under another report's name, is removed rather than sent.
    fs::remove_all(folder);
    const ReportIdentity damaged = ReportIdentity::fresh();
    spoolReport(damaged, "Routine=R&ReportId=" + URLEncode(ReportIdentity::fresh().id));
    LoopbackHttpServer server(test::rawAnswer(httpResponse("200 OK", "1")));
    EXPECT_EQ(sendSpooledReports(spool, settingsFor(server.url("/r")), now), 0);
    EXPECT_TRUE(server.requests().empty());
    EXPECT_TRUE(namesIn(folder).empty());
}

// A report another holder has locked is left to it; two rounds at once post each report once.
TEST_F(ReportSpoolTest, ALockedReportIsSkippedAndTwoRoundsAtOncePostEachReportOnce) {
    std::map<std::string, int> posted;
    std::mutex postedMutex;
    LoopbackHttpServer server([&](const test::HttpRequest& request, test::HttpReply& reply) {
        {
            std::lock_guard lock(postedMutex);
            ++posted[request.body];
        }
        reply.pause(std::chrono::milliseconds(20));
        reply.send(httpResponse("200 OK", "1"));
    });
    for (int i = 0; i < 6; ++i) {
        const ReportIdentity identity = ReportIdentity::fresh();
        spoolReport(identity, bodyOf(identity, std::to_string(i)));
    }
    const ReportSettings settings = settingsFor(server.url("/r"));
    {
        const auto held = spool.lock(spool.prunedEntries(now).front());
        ASSERT_TRUE(held);
        EXPECT_EQ(sendSpooledReports(spool, settings, now), 5);
        EXPECT_EQ(spool.prunedEntries(now).size(), 1u);
    }
    for (int i = 0; i < 6; ++i) {
        const ReportIdentity identity = ReportIdentity::fresh();
        spoolReport(identity, bodyOf(identity, std::to_string(i)));
    }
    std::atomic<int> delivered = 0;
    const auto round = [&] {
        ReportSpool own(spool.folder());
        delivered += sendSpooledReports(own, settings, now);
    };
    std::thread other(round);
    round();
    other.join();
    EXPECT_EQ(delivered, 7);
    EXPECT_EQ(posted.size(), 12u);
    for (const auto& [body, count] : posted) {
        EXPECT_EQ(count, 1) << body;
    }
}

}  // namespace
}  // namespace kx::errhandler
