#include "server/support/support_site.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "platform/text/ascii_text.h"
#include "server/form_decoding.h"
#include "server/password.h"
#include "server/support/store/report_groups.h"
#include "server/support/store/support_accounts.h"
#include "server/support/support_api.h"
#include "server/support/support_pages.h"
#include "server/whole_number.h"

namespace kx::server::support {

namespace {

constexpr std::string_view kRoot = "/support";
constexpr std::string_view kApiRoot = "/support/api";
constexpr std::string_view kLoginPath = "/support/login";
constexpr std::string_view kLogoutPath = "/support/logout";
constexpr std::string_view kPrunePath = "/support/prune";
constexpr std::string_view kCookieName = "kxsupport";
constexpr std::size_t kTokenBytes = 32;
// A page's address or the login form never needs more.
constexpr std::size_t kMaxFormFields = 16;
constexpr std::size_t kMaxFilterBytes = 200;
constexpr std::size_t kMaxNextBytes = 2000;
constexpr std::int64_t kMaxPage = 1'000'000;

constexpr const char* kHtml = "text/html; charset=utf-8";
constexpr const char* kJson = "application/json";
constexpr const char* kText = "text/plain; charset=utf-8";

HttpReply redirect(const std::string& location) {
    HttpReply answer{303, kText, "See " + location};
    answer.headers.emplace_back("Location", location);
    return answer;
}

// No script of any origin, nothing framed, forms only to this server: a report's text that
// escaped its escaping still could not run.
HttpReply secured(HttpReply answer) {
    answer.headers.emplace_back("Content-Security-Policy",
                                "default-src 'none'; style-src 'self'; img-src 'self'; "
                                "form-action 'self'; frame-ancestors 'none'; base-uri 'none'");
    answer.headers.emplace_back("X-Content-Type-Options", "nosniff");
    answer.headers.emplace_back("Cache-Control", "no-store");
    answer.headers.emplace_back("Referrer-Policy", "same-origin");
    return answer;
}

std::optional<FormFields> formOf(std::string_view text) {
    try {
        return decodeFormBody(text, kMaxFormFields);
    } catch (const std::invalid_argument&) {
        return std::nullopt;
    }
}

std::string boundedValue(const FormFields& form, std::string_view name) {
    return std::string(utf8Prefix(fieldValue(form, name), kMaxFilterBytes));
}

std::optional<std::int64_t> idAfter(std::string_view route, std::string_view prefix) {
    if (!route.starts_with(prefix)) {
        return std::nullopt;
    }
    return parseWholeNumber(route.substr(prefix.size()), 1,
                            std::numeric_limits<std::int64_t>::max());
}

// Where a login goes on: a page of this site, never another address.
std::string safeNext(std::string_view next) {
    const bool plain = std::all_of(next.begin(), next.end(), [](unsigned char c) {
        return c > 0x20 && c != 0x7F && c != '\\';
    });
    return next.starts_with("/support/") && plain && next.size() <= kMaxNextBytes
               ? std::string(next)
               : "/support/";
}

// The session token of a Cookie header: 64 hex digits, or "".
std::string tokenOf(std::string_view header) {
    while (!header.empty()) {
        const std::size_t end = std::min(header.find(';'), header.size());
        const std::string_view pair = ascii::trimBlanks(header.substr(0, end));
        header.remove_prefix(std::min(end + 1, header.size()));
        if (pair.size() == kCookieName.size() + 1 + 2 * kTokenBytes &&
            pair.starts_with(kCookieName) && pair[kCookieName.size()] == '=') {
            const std::string_view token = pair.substr(kCookieName.size() + 1);
            if (token.find_first_not_of("0123456789abcdef") == std::string_view::npos) {
                return std::string(token);
            }
        }
    }
    return "";
}

// "scheme://host[:port]" of an absolute URL, lower-cased.
std::string originOf(std::string_view url) {
    const std::size_t scheme = url.find("://");
    if (scheme == std::string_view::npos) {
        return "";
    }
    return ascii::lowerCase(url.substr(0, url.find('/', scheme + 3)));
}

struct GroupsData {
    ListPage<ReportGroup> groups;
    std::vector<std::string> projects;
};

struct GroupData {
    ReportGroup group;
    ListPage<ReportSummary> reports;
    std::optional<StoredReport> latest;
};

struct ReportData {
    StoredReport report;
    std::optional<std::int64_t> groupId;
};

// The catalog is held only while the data is read; pages are made after.
GroupsData fetchGroups(SharedCatalog& catalog, const GroupFilter& filter, std::int64_t page) {
    auto locked = catalog.lock();
    ReportGroups groups(locked->database());
    return {groups.groups(filter, page), groups.projects()};
}

std::optional<GroupData> fetchGroup(SharedCatalog& catalog, std::int64_t id, std::int64_t page) {
    auto locked = catalog.lock();
    ReportGroups groups(locked->database());
    auto group = groups.group(id);
    if (!group) {
        return std::nullopt;
    }
    auto reports = groups.reports(id, page);
    auto latest = locked->reports().find(group->latestReportId);
    return GroupData{std::move(*group), std::move(reports), std::move(latest)};
}

std::optional<ReportData> fetchReport(SharedCatalog& catalog, std::int64_t id) {
    auto locked = catalog.lock();
    auto report = locked->reports().find(id);
    if (!report) {
        return std::nullopt;
    }
    return ReportData{std::move(*report), ReportGroups(locked->database()).groupOf(id)};
}

}  // namespace

SupportSite::SupportSite(SharedCatalog& catalog, const std::string& baseUrl,
                         std::function<std::int64_t()> clock)
    : catalog_(catalog), baseUrl_(baseUrl), clock_(std::move(clock)), passwords_(verifyPassword) {}

bool SupportSite::serves(std::string_view path) {
    return path == kRoot || path.starts_with("/support/");
}

SiteAnswer SupportSite::answer(const HttpRequest& request) {
    const std::string& path = request.path;
    const bool post = request.method == "POST";
    if (path == kLoginPath && post) {
        return logIn(request);
    }
    if (path == kRoot) {
        return secured(redirect("/support/"));
    }
    if (path == "/support/style.css") {
        return secured(
            HttpReply{200, "text/css; charset=utf-8", std::string(embeddedFile("style.css"))});
    }
    if (path == kLoginPath) {
        const auto query = formOf(request.query);
        return secured(
            HttpReply{200, kHtml,
                      loginPage("", "", safeNext(query ? fieldValue(*query, "next") : "")).text()});
    }
    if (path == kLogoutPath) {
        if (!post) {
            HttpReply refused{405, kText, "Log out with the button of a page."};
            refused.headers.emplace_back("Allow", "POST");
            return secured(std::move(refused));
        }
        return secured(logOut(request));
    }
    std::optional<std::string> user;
    if (const std::string token = tokenOf(request.cookie); !token.empty()) {
        auto locked = catalog_.lock();
        user = SupportAccounts(locked->database()).sessionLogin(token, clock_());
    }
    if (!user) {
        if (path.starts_with(kApiRoot)) {
            return secured(HttpReply{401, kJson, R"({"error":"log in at /support/login first"})"});
        }
        const std::string target = path + (request.query.empty() ? "" : "?" + request.query);
        return secured(redirect("/support/login?next=" + queryComponent(safeNext(target))));
    }
    if (path == kPrunePath) {
        return secured(prune(request, *user));
    }
    if (request.method != "GET" && request.method != "HEAD") {
        return secured(HttpReply{405, kText, "Only GET reads these pages."});
    }
    return secured(content(request, *user));
}

SiteAnswer SupportSite::logIn(const HttpRequest& request) {
    const auto form = formOf(request.body);
    if (!form) {
        return secured(HttpReply{400, kText, "The login form has too many fields."});
    }
    if (!sameOrigin(request)) {
        return secured(HttpReply{403, kText, "The login was sent from another site's page."});
    }
    LoginAttempt attempt{"", fieldValue(*form, "login"), fieldValue(*form, "password"),
                         request.clientAddress};
    std::string next = safeNext(fieldValue(*form, "next"));
    auto admission = passwords_.admit(attempt);
    if (!admission) {
        return secured(wrongPassword(attempt, next));
    }
    std::string address = attempt.clientAddress;
    return PasswordWork{std::move(admission), std::move(address),
                        [this, attempt = std::move(attempt), next = std::move(next)] {
                            return secured(finishLogIn(attempt, next));
                        }};
}

HttpReply SupportSite::finishLogIn(const LoginAttempt& attempt, const std::string& next) {
    std::optional<SupportUser> user;
    PasswordCost cost;
    {
        auto locked = catalog_.lock();
        user = SupportAccounts(locked->database()).find(attempt.login);
        cost = locked->passwordCost();
    }
    // An unknown login counts as a wrong password too, so that guessing logins is slowed as well.
    // A right password under an older cost still logs in; the hash is renewed when the password
    // is set again.
    const PasswordVerdict verdict = passwords_.check(attempt, user ? user->passwordHash : "", cost);
    const bool right =
        verdict == PasswordVerdict::Right || verdict == PasswordVerdict::RightButOutdated;
    if (!right || !user) {
        return wrongPassword(attempt, next);
    }
    const std::string token = randomHex(kTokenBytes);
    {
        auto locked = catalog_.lock();
        SupportAccounts(locked->database()).startSession(user->id, token, clock_());
    }
    HttpReply answer = redirect(next);
    answer.headers.emplace_back("Set-Cookie", sessionCookie(token, false));
    return answer;
}

HttpReply SupportSite::wrongPassword(const LoginAttempt& attempt, const std::string& next) {
    return HttpReply{200, kHtml, loginPage("Wrong login or password.", attempt.login, next).text()};
}

HttpReply SupportSite::logOut(const HttpRequest& request) {
    if (!sameOrigin(request)) {
        return HttpReply{403, kText, "The logout was sent from another site's page."};
    }
    if (const std::string token = tokenOf(request.cookie); !token.empty()) {
        auto locked = catalog_.lock();
        SupportAccounts(locked->database()).endSession(token);
    }
    HttpReply answer = redirect(std::string(kLoginPath));
    answer.headers.emplace_back("Set-Cookie", sessionCookie("", true));
    return answer;
}

HttpReply SupportSite::prune(const HttpRequest& request, const std::string& user) {
    if (request.method != "POST") {
        HttpReply refused{405, kText, "Remove old reports with the form of the causes page."};
        refused.headers.emplace_back("Allow", "POST");
        return refused;
    }
    if (!sameOrigin(request)) {
        return HttpReply{403, kText, "The removal was sent from another site's page."};
    }
    const auto form = formOf(request.body);
    const auto days = form
                          ? parseWholeNumber(fieldValue(*form, "days"), 1, ReportStore::kMaxAgeDays)
                          : std::nullopt;
    if (!days) {
        return HttpReply{400, kText,
                         "Give the age in whole days, from 1 to " +
                             std::to_string(ReportStore::kMaxAgeDays) + "."};
    }
    const std::int64_t before = ReportStore::daysBefore(clock_(), *days);
    std::int64_t removed = 0;
    {
        auto locked = catalog_.lock();
        removed = locked->reports().removeReceivedBefore(before);
    }
    return HttpReply{200, kHtml, prunedPage(user, removed, isoTimestamp(before)).text()};
}

HttpReply SupportSite::content(const HttpRequest& request, const std::string& user) {
    const bool json = request.path.starts_with(kApiRoot);
    const std::string_view route =
        std::string_view(request.path).substr(json ? kApiRoot.size() : kRoot.size());
    const auto query = formOf(request.query);
    if (!query) {
        return HttpReply{400, kText, "The address has too many parameters."};
    }
    const std::int64_t page = parseWholeNumber(fieldValue(*query, "page"), 1, kMaxPage).value_or(1);
    if (route == (json ? "/groups" : "/")) {
        const GroupFilter filter{boundedValue(*query, "project"), boundedValue(*query, "version"),
                                 boundedValue(*query, "q")};
        const GroupsData data = fetchGroups(catalog_, filter, page);
        return json ? HttpReply{200, kJson, groupsJson(data.groups, page)}
                    : HttpReply{200, kHtml,
                                groupsPage(user, filter, page, data.groups, data.projects).text()};
    }
    if (const auto id = idAfter(route, "/groups/")) {
        if (const auto data = fetchGroup(catalog_, *id, page)) {
            return json ? HttpReply{200, kJson, groupJson(data->group, data->reports, page)}
                        : HttpReply{200, kHtml,
                                    groupPage(user, data->group, page, data->reports, data->latest)
                                        .text()};
        }
    } else if (const auto reportId = idAfter(route, "/reports/")) {
        if (const auto data = fetchReport(catalog_, *reportId)) {
            return json ? HttpReply{200, kJson, reportLine(data->report)}
                        : HttpReply{200, kHtml,
                                    reportPage(user, data->report, data->groupId).text()};
        }
    }
    return json ? HttpReply{404, kJson, R"({"error":"not found"})"}
                : HttpReply{404, kHtml, notFoundPage(user).text()};
}

bool SupportSite::sameOrigin(const HttpRequest& request) const {
    // Browsers send an Origin with every form they post; tools send none, and carry no cookie a
    // foreign page could make them use.
    if (request.origin.empty()) {
        return true;
    }
    const std::string origin = ascii::lowerCase(request.origin);
    const std::size_t scheme = origin.find("://");
    return origin == originOf(baseUrl_) ||
           (scheme != std::string::npos && !request.host.empty() &&
            origin.substr(scheme + 3) == ascii::lowerCase(request.host));
}

std::string SupportSite::sessionCookie(const std::string& value, bool ending) const {
    std::string cookie =
        std::string(kCookieName) + "=" + value + "; Path=/support/; HttpOnly; SameSite=Strict";
    if (ascii::startsWithNoCase(baseUrl_, "https://")) {
        cookie += "; Secure";
    }
    return cookie + (ending ? "; Max-Age=0" : "");
}

}  // namespace kx::server::support
