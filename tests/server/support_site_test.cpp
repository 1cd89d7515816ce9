// The support pages over real HTTP: staff logins and their sessions, the redirect to the login,
// the causes, a cause and a report with its filters and JSON, and report texts that are shown as
// text, never run.

#include <sstream>
#include <thread>

#include "server/admin_cli.h"
#include "server/password_checks.h"
#include "server/support/support_pages.h"
#include "tests/server/server_fixture.h"

namespace kx::server::test {
namespace {

using namespace std::chrono_literals;

class SupportSiteTest : public ServerTest {
  protected:
    void SetUp() override {
        ServerTest::SetUp();
        EXPECT_EQ(admin({"add-support-user", dir_.str(), "staff", "right pass"}), 0);
    }
    int admin(const std::vector<std::string>& args) {
        std::ostringstream out, err;
        return runCommandLine(args, out, err);
    }
    httplib::Result get(const std::string& path, const std::string& cookie = {}) {
        return client_->Get(
            path, cookie.empty() ? httplib::Headers{} : httplib::Headers{{"Cookie", cookie}});
    }
    httplib::Result post(const std::string& path, const std::string& body,
                         const httplib::Headers& headers = {}) {
        return client_->Post(path, headers, body, "application/x-www-form-urlencoded");
    }
    // The session cookie ("kxsupport=...") of a login, "" when it failed.
    std::string logIn(const std::string& password = "right pass",
                      const httplib::Headers& headers = {}) {
        const auto answer =
            post("/support/login",
                 "login=STAFF&next=%2Fsupport%2F&password=" + support::queryComponent(password),
                 headers);
        lastSetCookie_ = answer ? answer->get_header_value("Set-Cookie") : "";
        return lastSetCookie_.substr(0, lastSetCookie_.find(';'));
    }
    void postReport(const std::vector<std::pair<std::string, std::string>>& fields) {
        std::string body;
        for (const auto& [name, value] : fields) {
            body += (body.empty() ? "" : "&") + name + "=" + support::queryComponent(value);
        }
        ASSERT_EQ(post("/GenErrorReport.asp", body)->body, "1");
    }

    std::string lastSetCookie_;
};

void expectSecured(const httplib::Result& answer) {
    ASSERT_TRUE(answer);
    EXPECT_TRUE(
        contains(answer->get_header_value("Content-Security-Policy"), "default-src 'none'"));
    EXPECT_EQ(answer->get_header_value("X-Content-Type-Options"), "nosniff");
}

TEST_F(SupportSiteTest, EveryPageButTheLoginRedirectsThereWithoutASession) {
    const std::pair<const char*, const char*> redirects[] = {
        {"/support", "/support/"},
        {"/support/", "/support/login?next=/support/"},
        {"/support/groups/1?page=2", "/support/login?next=/support/groups/1?page=2"},
        {"/support/reports/1", "/support/login?next=/support/reports/1"},
        {"/support/unknown", "/support/login?next=/support/unknown"}};
    // (The client decodes the Location it is given.)
    for (const auto& [path, location] : redirects) {
        for (const std::string& cookie : {std::string(), "kxsupport=" + std::string(64, 'a')}) {
            const auto answer = get(path, cookie);
            expectSecured(answer);
            EXPECT_EQ(answer->status, 303) << path;
            EXPECT_EQ(answer->get_header_value("Location"), location) << path;
        }
    }
    EXPECT_EQ(get("/support/api/groups")->status, 401);
    const auto login = get("/support/login?next=https%3A%2F%2Fevil.example%2F");
    expectSecured(login);
    EXPECT_EQ(login->status, 200);
    EXPECT_TRUE(contains(login->body, "name=\"next\" value=\"/support/\""));
    EXPECT_EQ(get("/support/style.css")->get_header_value("Content-Type"),
              "text/css; charset=utf-8");
}

TEST_F(SupportSiteTest, LoginsGiveAStrictCookieThatLogoutIdlenessAndRemovalEnd) {
    // Wrong passwords are refused and, as the launcher's, bounded from the third on: while the
    // delay they earned runs, even the right password is refused without a check.
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(logIn("wrong pass"), "");
    }
    EXPECT_EQ(logIn("right pass", {{"Origin", url_}}), "");
    std::this_thread::sleep_for(PasswordChecks::kFirstDelay);
    EXPECT_EQ(logIn("right pass", {{"Origin", "http://evil.example"}}), "");
    const std::string cookie = logIn("right pass", {{"Origin", url_}});
    ASSERT_FALSE(cookie.empty());
    for (const char* attribute : {"; Path=/support/", "; HttpOnly", "; SameSite=Strict"}) {
        EXPECT_TRUE(contains(lastSetCookie_, attribute));
    }
    EXPECT_FALSE(contains(lastSetCookie_, "Secure"));
    const auto list = get("/support/", cookie);
    EXPECT_EQ(list->status, 200);
    EXPECT_TRUE(contains(list->body, ">staff<"));

    // Eight hours without use end a session; use keeps it.
    now_ += 7 * 3600;
    EXPECT_EQ(get("/support/", cookie)->status, 200);
    now_ += 7 * 3600;
    EXPECT_EQ(get("/support/", cookie)->status, 200);
    now_ += 8 * 3600 + 1;
    EXPECT_EQ(get("/support/", cookie)->status, 303);

    // Logout: refused from another site's page, and then the session is gone.
    const std::string second = logIn();
    EXPECT_EQ(post("/support/logout", "", {{"Cookie", second}, {"Origin", "http://evil.example"}})
                  ->status,
              403);
    EXPECT_EQ(get("/support/", second)->status, 200);
    const auto out = post("/support/logout", "", {{"Cookie", second}});
    EXPECT_EQ(out->status, 303);
    EXPECT_TRUE(contains(out->get_header_value("Set-Cookie"), "Max-Age=0"));
    EXPECT_EQ(get("/support/", second)->status, 303);

    // Removing the account ends its sessions; a taken login is refused.
    const std::string third = logIn();
    EXPECT_EQ(admin({"add-support-user", dir_.str(), "Staff", "x"}), 1);
    EXPECT_EQ(admin({"remove-support-user", dir_.str(), "staff"}), 0);
    EXPECT_EQ(get("/support/", third)->status, 303);
    EXPECT_EQ(admin({"remove-support-user", dir_.str(), "staff"}), 1);

    // Behind an https address the cookie is sent over https only.
    EXPECT_EQ(admin({"add-support-user", dir_.str(), "staff", "right pass"}), 0);
    const int loopbackPort = port();
    restartServer([&](ServerOptions& o) {
        o.publicUrl = "https://support.example";
        o.port = loopbackPort;
    });
    client_ = std::make_unique<httplib::Client>("127.0.0.1", loopbackPort);
    EXPECT_FALSE(logIn("right pass", {{"Origin", "https://support.example"}}).empty());
    EXPECT_TRUE(contains(lastSetCookie_, "; Secure"));
}

TEST_F(SupportSiteTest, CausesReportsAndFiltersShowEveryReportTextAsText) {
    for (const auto& [version, description] : {std::pair{"1.0", "Path C:\\a\\1.txt busy 3"},
                                               std::pair{"2.0", "Path D:\\b\\22.txt busy 4"}}) {
        postReport({{"ProjectName", "KXVantor"},
                    {"ProjectVersion", version},
                    {"Module", "Module1"},
                    {"Routine", "InstallFile"},
                    {"LineNumber", "40"},
                    {"ErrorNumber", "75"},
                    {"ErrorDescription", description},
                    {"Context", "a context of free text"}});
    }
    const std::string payload = "<script>document.title='run'</script><img src=x onerror=alert(1)>";
    postReport({{"ProjectName", "KXVantor"},
                {"ProjectVersion", "2.0"},
                {"Module", "<b>m</b>"},
                {"LineNumber", "7"},
                {"ErrorDescription", payload},
                {"Context", "<LocalVariables>\r\n<s>" + payload + "</s>\r\n</LocalVariables>" +
                                "\r\n\r\nError Handler Version = 9.0.3\r\n"},
                {"Extra\"><script>x</script>", payload}});
    const std::string cookie = logIn();

    const auto groups = nlohmann::json::parse(get("/support/api/groups", cookie)->body);
    ASSERT_EQ(groups.at("total"), 2);
    const auto& busy = groups.at("groups").at(1);
    EXPECT_EQ(busy.at("reportCount"), 2);
    EXPECT_EQ(busy.at("versions"), nlohmann::json({"2.0", "1.0"}));
    const std::string busyId = std::to_string(busy.at("id").get<std::int64_t>());
    auto total = [&](const std::string& query) {
        return nlohmann::json::parse(get("/support/api/groups?" + query, cookie)->body).at("total");
    };
    EXPECT_EQ(total("version=1.0"), 1);
    EXPECT_EQ(total("q=busy&project=KXVantor"), 1);
    EXPECT_EQ(total("project=Other"), 0);

    const auto busyPage = get("/support/groups/" + busyId, cookie);
    EXPECT_EQ(busyPage->status, 200);
    for (const char* shown : {"href=\"/support/reports/1\"", "href=\"/support/reports/2\"",
                              "Module1.InstallFile, line 40", "2.0, 1.0"}) {
        EXPECT_TRUE(contains(busyPage->body, shown)) << shown;
    }
    const auto filtered = get("/support/?version=1.0", cookie);
    EXPECT_TRUE(contains(filtered->body, "1 cause matches the filter."));

    // The payload, everywhere it is shown, is text: no tag of it reaches a page.
    const std::string escaped = "&lt;script&gt;document.title=&#39;run&#39;&lt;/script&gt;";
    for (const std::string& path :
         {std::string("/support/"), "/support/groups/" + groups.at("groups").at(0).at("id").dump(),
          std::string("/support/reports/3")}) {
        const auto page = get(path, cookie);
        expectSecured(page);
        EXPECT_EQ(page->status, 200) << path;
        EXPECT_TRUE(contains(page->body, escaped)) << path;
        for (const char* tag : {"<script", "<img", "<b>"}) {
            EXPECT_FALSE(contains(page->body, tag)) << path << " " << tag;
        }
    }
    const auto report = get("/support/reports/3", cookie)->body;
    EXPECT_TRUE(contains(report, "<h2>Local variables</h2>"));
    EXPECT_TRUE(contains(report, "<h2>Diagnostics</h2>"));
    EXPECT_TRUE(contains(get("/support/reports/1", cookie)->body, "a context of free text"));
    const auto raw = get("/support/api/reports/3", cookie);
    EXPECT_EQ(raw->get_header_value("X-Content-Type-Options"), "nosniff");
    EXPECT_EQ(nlohmann::json::parse(raw->body).at("fields").at("ErrorDescription"), payload);
    EXPECT_EQ(get("/support/groups/99", cookie)->status, 404);
}

TEST_F(SupportSiteTest, OldReportsAreRemovedByStaffFromThisSiteOnly) {
    postReport({{"ProjectName", "KXVantor"}, {"ErrorDescription", "old"}});
    now_ += 10 * 24 * 3600;
    postReport({{"ProjectName", "KXVantor"}, {"ErrorDescription", "new"}});
    const std::string cookie = logIn();
    auto prune = [&](const std::string& body, const std::string& origin) {
        return post("/support/prune", body, {{"Cookie", cookie}, {"Origin", origin}});
    };
    EXPECT_EQ(prune("days=5", "http://evil.example")->status, 403);
    EXPECT_EQ(prune("days=0", url_)->status, 400);
    EXPECT_TRUE(contains(prune("days=5", url_)->body, "Removed 1 report received before"));
    EXPECT_EQ(get("/support/api/reports/1", cookie)->status, 404);
    EXPECT_EQ(get("/support/api/reports/2", cookie)->status, 200);
}

}  // namespace
}  // namespace kx::server::test
