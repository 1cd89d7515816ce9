#pragma once
// The support pages under "/support/", for staff accounts only (support_accounts.h):
//
//   GET  /support/login            the login form; POST checks it and starts a session
//   POST /support/logout           ends the session
//   GET  /support/                 the failures by cause (?project=&version=&q=&page=)
//   GET  /support/groups/ID        one cause and its reports (?page=)
//   GET  /support/reports/ID       one report
//   POST /support/prune            removes the reports received more than `days` days ago
//   GET  /support/api/groups, /support/api/groups/ID, /support/api/reports/ID   the same as JSON
//   GET  /support/style.css        the pages' style sheet
//
// A session is a cookie ("HttpOnly", "SameSite=Strict", "Secure" when the server's address is
// https) holding a random 256-bit token; it ends after 8 hours without use. Without a session a
// page answers with a redirect to the login (which brings the user back afterwards) and the JSON
// answers 401. A login, a logout or a removal of old reports that a browser sends from another
// site's page (its Origin is neither this server's address nor its Host) is refused. Guessing is
// bounded as for the launcher's logins (password_checks.h): an attempt that is not admitted is
// answered at once as a wrong password, an admitted one is checked where the caller runs slow work.
//
// Every answer carries a Content-Security-Policy that allows no script at all and no framing,
// "X-Content-Type-Options: nosniff" and "Cache-Control: no-store".

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <variant>

#include "server/http_message.h"
#include "server/password_checks.h"
#include "server/shared_catalog.h"

namespace kx::server::support {

// A password to check before the answer can be given: `run` (which gives the answer) is slow and
// is to be run where slow work runs, in turn with other checks from `clientAddress`. The attempt
// counts as in flight while `admission` is held.
struct PasswordWork {
    PasswordChecks::Admission admission;
    std::string clientAddress;
    std::function<HttpReply()> run;
};

using SiteAnswer = std::variant<HttpReply, PasswordWork>;

class SupportSite {
  public:
    // `baseUrl` (known once the server listens) and `clock` (seconds since 1970) must outlive the
    // site.
    SupportSite(SharedCatalog& catalog, const std::string& baseUrl,
                std::function<std::int64_t()> clock);

    // True for "/support" and every path below it.
    static bool serves(std::string_view path);

    // Answers a request for a path it serves. Throws what the catalog throws (CatalogBusy, ...).
    SiteAnswer answer(const HttpRequest& request);

  private:
    SiteAnswer logIn(const HttpRequest& request);
    HttpReply finishLogIn(const LoginAttempt& attempt, const std::string& next);
    HttpReply wrongPassword(const LoginAttempt& attempt, const std::string& next);
    HttpReply logOut(const HttpRequest& request);
    HttpReply prune(const HttpRequest& request, const std::string& user);
    // The pages and JSON answers behind the login, for `user`.
    HttpReply content(const HttpRequest& request, const std::string& user);
    bool sameOrigin(const HttpRequest& request) const;
    std::string sessionCookie(const std::string& value, bool ending) const;

    SharedCatalog& catalog_;
    const std::string& baseUrl_;
    std::function<std::int64_t()> clock_;
    PasswordChecks passwords_;
};

}  // namespace kx::server::support
