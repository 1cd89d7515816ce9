// What the server stores survives a busy or failing catalog: nothing is answered as stored unless
// it is, and a setting that cannot be read fails loudly.

#include "server/catalog.h"
#include "server/remote_error.h"
#include "tests/server/server_fixture.h"

namespace kx::server::test {
namespace {

using namespace std::chrono_literals;

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
