// Install-file downloads, refusals of every way out of a group's folder, and the error-report
// form, over real HTTP; and what the server stores survives a busy or failing catalog: nothing is
// answered as stored unless it is, and a setting that cannot be read fails loudly.

#include <chrono>
#include <filesystem>

#include "server/catalog.h"
#include "server/form_decoding.h"
#include "server/remote_error.h"
#include "tests/server/server_fixture.h"

namespace kx::server::test {
namespace {

using namespace std::chrono_literals;

TEST_F(ServerTest, DownloadsServeOneRangeAndHonourTheirValidators) {
    const std::string path = "/bo/server1/BROKER/InstallFiles/10/b.dat";  // "bravo data"
    auto get = [&](const httplib::Headers& headers) {
        auto answer = client_->Get(path.c_str(), headers);
        EXPECT_TRUE(answer);
        return answer ? *answer : httplib::Response{};
    };
    const auto whole = get({});
    EXPECT_EQ(whole.status, 200);
    EXPECT_EQ(whole.body, "bravo data");
    EXPECT_EQ(whole.get_header_value("Content-Length"), "10");
    const std::string etag = whole.get_header_value("ETag");
    const std::string modified = whole.get_header_value("Last-Modified");
    EXPECT_EQ(etag.size(), 66u) << etag;  // the quoted SHA-256 of the content
    EXPECT_TRUE(contains(modified, " GMT"));
    EXPECT_EQ(whole.get_header_value("Accept-Ranges"), "bytes");

    struct Case {
        std::string range;
        int status;
        std::string body;
        std::string contentRange;
    };
    std::string manyRanges = "bytes=0-9";
    for (int i = 0; i < 887; ++i) {
        manyRanges += ",0-9";
    }
    const Case cases[] = {
        {"bytes=2-4", 206, "avo", "bytes 2-4/10"}, {"bytes=7-", 206, "ata", "bytes 7-9/10"},
        {"bytes=-3", 206, "ata", "bytes 7-9/10"},  {"bytes=8-400", 206, "ta", "bytes 8-9/10"},
        {"bytes=10-", 416, "", "bytes */10"},      {"bytes=0-1,4-5", 200, "bravo data", ""},
        {manyRanges, 200, "bravo data", ""},       {"bytes=x-y", 200, "bravo data", ""}};
    for (const Case& c : cases) {
        const auto answer = get({{"Range", c.range}});
        EXPECT_EQ(answer.status, c.status) << c.range.substr(0, 20);
        if (c.status != 416) {
            EXPECT_EQ(answer.body, c.body) << c.range.substr(0, 20);
        }
        EXPECT_EQ(answer.get_header_value("Content-Range"), c.contentRange)
            << c.range.substr(0, 20);
    }
    EXPECT_EQ(get({{"Range", "bytes=2-4"}, {"If-Range", etag}}).status, 206);
    EXPECT_EQ(get({{"Range", "bytes=2-4"}, {"If-Range", modified}}).status, 206);
    EXPECT_EQ(get({{"Range", "bytes=2-4"}, {"If-Range", "\"other\""}}).body, "bravo data");

    // A republished file never continues an old download: the old validator gets it whole.
    const auto file = dir_ / "files" / "10" / "b.dat";
    kx::test::writeFile(file, "brand new data");
    std::filesystem::last_write_time(file, std::filesystem::last_write_time(file) + 5s);
    const auto renewed = get({{"Range", "bytes=2-4"}, {"If-Range", etag}});
    EXPECT_EQ(renewed.status, 200);
    EXPECT_EQ(renewed.body, "brand new data");
    EXPECT_NE(renewed.get_header_value("ETag"), etag);
}

TEST_F(ServerTest, MissingAndForbiddenFilesAnswerNotFound) {
    // A file outside the group folder that a traversal would reach.
    kx::test::writeFile(dir_ / "secret.txt", "secret");
    std::filesystem::create_symlink(dir_ / "secret.txt", dir_ / "files" / "10" / "link.txt");
    std::filesystem::create_symlink(dir_ / "files" / "12", dir_ / "files" / "10" / "other");
    const char* paths[] = {
        "/bo/server1/BROKER/InstallFiles/10/missing.txt",
        "/bo/server1/BROKER/InstallFiles/10/../../secret.txt",
        "/bo/server1/BROKER/InstallFiles/10/%2e%2e/%2E%2E/secret.txt",
        "/bo/server1/BROKER/InstallFiles/10/..%2f..%2fsecret.txt",
        "/bo/server1/BROKER/InstallFiles/10/..%5c..%5csecret.txt",
        "/bo/server1/BROKER/InstallFiles//etc/passwd",
        "/bo/server1/BROKER/InstallFiles/10/a.txt%00.png",
        "/bo/server1/BROKER/InstallFiles/10/link.txt",
        "/bo/server1/BROKER/InstallFiles/10/other/d.txt",
        "/bo/server1/BROKER/InstallFiles/10",
        "/bo/server1/BROKER/InstallFiles/10/",
        "/bo/server1/BROKER/InstallFiles/12/d.txt",  // another deployment's group
        "/bo/server1/CLIENT/InstallFiles/10/a.txt",  // no CLIENT deployment there
        "/bo/server2/CLIENT/InstallFiles/10/a.txt",
        "/catalog.sqlite",
        "/",
    };
    for (const char* path : paths) {
        const auto answer = client_->Get(path);
        ASSERT_TRUE(answer) << path;
        EXPECT_EQ(answer->status, 404) << path;
        EXPECT_EQ(answer->reason, "Not Found") << path;
        EXPECT_EQ(answer->body, "404 Object Not Found") << path;
    }
    // The server is unharmed and still serves the real files, of each deployment.
    EXPECT_EQ(client_->Get("/bo/server1/BROKER/InstallFiles/10/a.txt")->body, "alpha");
    EXPECT_EQ(client_->Get("/bo/server2/CLIENT/InstallFiles/12/d.txt")->body, "delta");
}

// The twelve fields as the error library sends them, plus one the server does not know.
std::string reportBody(const std::string& context) {
    return "ProjectName=KXVantor&ProjectVersion=%33%30%30&Module=frmLogin&Routine=StartUpInit&"
           "LineNumber=%31%32&ErrorNumber=%32%30&ErrorDescription=Bad%20thing%2B%26more&"
           "Context=" +
           context +
           "&Token=&AppPath=%2Fopt%2Fkx&AppName=KXVantor&"
           "ParentProcess=init&Extra=kept";
}

TEST_F(ServerTest, ErrorReportsAreStoredWithEveryFieldAndAnsweredWithOne) {
    // Paths are matched without regard to case: the error library lower-cases its URL.
    const std::string bigContext(200'000, 'x');  // far beyond the form limit of the HTTP layer
    for (const char* path : {"/GenErrorReport.asp", "/generrorreport.asp"}) {
        const auto answer = client_->Post(
            path,
            reportBody(path == std::string("/GenErrorReport.asp") ? "line%0D%0Atwo" : bigContext),
            "application/x-www-form-urlencoded");
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->status, 200);
        EXPECT_TRUE(contains(answer->body, "1"));
    }
    const auto reports = storedReports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].at("fields"), nlohmann::json::parse(R"({"ProjectName":"KXVantor",
        "ProjectVersion":"300","Module":"frmLogin","Routine":"StartUpInit","LineNumber":"12",
        "ErrorNumber":"20","ErrorDescription":"Bad thing+&more","Context":"line\r\ntwo",
        "Token":"","AppPath":"/opt/kx","AppName":"KXVantor","ParentProcess":"init","Extra":"kept"})"));
    EXPECT_EQ(reports[0].at("clientAddress"), "127.0.0.1");
    EXPECT_EQ(reports[1].at("fields").at("Context").get<std::string>().size(), bigContext.size());
}

// A catalog made before reports carried ids (and rows patches) is upgraded when opened; then an id
// is stored once, however often (and in whatever letter case) it comes, while reports without a
// usable id are stored each time.
TEST_F(ServerTest, AReportIdIsStoredOnceAndAnOlderCatalogIsUpgradedForIt) {
    stopServer();
    {
        Database older(Catalog::fileIn(dir_.path()).string(), false);
        older.exec(
            "DROP INDEX error_reports_report_id; ALTER TABLE error_reports DROP COLUMN report_id; "
            "ALTER TABLE install_files DROP COLUMN patches; DROP TABLE file_versions; "
            "PRAGMA user_version = 0; INSERT INTO error_reports(received_at, client_address, "
            "fields) VALUES('2024-01-01T00:00:00', '10.0.0.1', '[[\"Routine\",\"older\"]]')");
    }
    restartServer([](ServerOptions&) {});
    const std::string id = "5f0c2a1e-9b7d-4c3a-8e21-0d4f6a7b8c9d";
    for (const std::string& sent : {id, std::string("5F0C2A1E-9B7D-4C3A-8E21-0D4F6A7B8C9D"), id,
                                    std::string("x"), id + "0"}) {
        const auto answer =
            client_->Post("/GenErrorReport.asp", reportBody("x") + "&ReportId=" + sent,
                          "application/x-www-form-urlencoded");
        EXPECT_EQ(answer->body, "1") << sent;
    }
    const auto reports = storedReports();
    ASSERT_EQ(reports.size(), 4u);
    EXPECT_EQ(reports[0].at("fields").at("Routine"), "older");
    EXPECT_EQ(reports[1].at("reportId"), id);
    EXPECT_EQ(reports[3].at("fields").at("ReportId"), id + "0");
    EXPECT_TRUE(reports[2].at("reportId").is_null() && reports[3].at("reportId").is_null());
    // A report sent again is not filed under its group a second time either.
    Database catalog(Catalog::fileIn(dir_.path()).string(), false);
    auto grouped = catalog.prepare("SELECT SUM(report_count) FROM report_groups");
    ASSERT_TRUE(grouped.step());
    EXPECT_EQ(grouped.integer(0), 4);
}

TEST(FormDecoding, DecodesPlusPercentAndKeepsBrokenEscapes) {
    EXPECT_EQ(
        decodeFormBody("a=x+y%20z&&b=%41%zz%4&c&=v&d=%e2%82%ac"),
        (FormFields{{"a", "x y z"}, {"b", "A%zz%4"}, {"c", ""}, {"", "v"}, {"d", "\xE2\x82\xAC"}}));
    EXPECT_TRUE(decodeFormBody("").empty());
    EXPECT_THROW(decodeFormBody("a=1&b=2&c=3", 2), std::invalid_argument);
}

TEST(CatalogSettings, APasswordCostOrTokenLifetimeThatCannotBeReadFailsLoudly) {
    kx::test::TempDir dir;
    Catalog::create(dir.path(), kTestPasswordCost);
    Catalog catalog(dir.path());
    auto set = [&](const char* key, const char* value) {
        catalog.database()
            .prepare("UPDATE settings SET value = ? WHERE key = ?")
            .bind(1, value)
            .bind(2, key)
            .run();
    };
    // Never a user hashed at a cost the administrator did not choose.
    for (const char* cost : {"", "many", "0", "12abc", "99999999999"}) {
        set("password_memory_kib", cost);
        try {
            catalog.addUser("ACME", "ALICE", "pw");
            ADD_FAILURE() << "a user was added at the cost \"" << cost << "\"";
        } catch (const CatalogError& e) {
            EXPECT_TRUE(contains(e.what(), "password_memory_kib"));
        }
    }
    EXPECT_FALSE(catalog.findUser("ACME", "ALICE"));

    set("token_lifetime_seconds", "soon");
    EXPECT_THROW(catalog.sessions().issueToken({}, 1'700'000'000), CatalogError);
}

TEST_F(ServerTest, ABusyCatalogRefusesPlainlyAndLosesNothing) {
    restartServer([](ServerOptions& options) { options.catalogBusyTimeout = 100ms; });
    const std::string token = loginAlice(kServer1, "KXBO_V2.Init");
    auto post = [&](const char* routine) {
        return client_->Post("/GenErrorReport.asp", std::string("Routine=") + routine,
                             "application/x-www-form-urlencoded");
    };
    {
        Database blocker(Catalog::fileIn(dir_.path()).string(), false);
        blocker.exec("BEGIN IMMEDIATE");
        const auto login =
            call(kServer1, "KXBO_V2.Init", "LoginUser", {"ACME", "ALICE", "s3cret pass", "ip"});
        const auto notes = call(kServer1, "KXBO_V2.Init", "WriteLoginNotes", {token, "n"});
        for (const auto& answer : {login, notes}) {
            EXPECT_EQ(answer.status, 503);
            EXPECT_EQ(answer.errorNumber(), error_number::kServerBusy);
        }
        const auto refused = post("lost");
        EXPECT_EQ(refused->status, 503);
        EXPECT_EQ(refused->get_header_value("Retry-After"), "1");
        EXPECT_FALSE(contains(refused->body, "1"));
        blocker.exec("ROLLBACK");
    }
    EXPECT_EQ(loginAlice(kServer1, "KXBO_V2.Init").size(), 32u);
    EXPECT_EQ(post("kept")->body, "1");
    const auto reports = storedReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].at("fields").at("Routine"), "kept");
}

}  // namespace
}  // namespace kx::server::test
