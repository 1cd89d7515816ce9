#pragma once
// The support pages as HTML, made from what the catalog holds: the login, the list of failures by
// cause, one cause with its reports, and one report with its context laid out for reading. Every
// text of a report reaches the page through escape() (html.h); long values are folded.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/report_store.h"
#include "server/support/html.h"
#include "server/support/store/report_groups.h"

namespace kx::server::support {

// `user` is the login shown beside the logout button on every page but the login page.
Html loginPage(std::string_view message, std::string_view login, std::string_view next);
Html groupsPage(std::string_view user, const GroupFilter& filter, std::int64_t page,
                const ListPage<ReportGroup>& groups, const std::vector<std::string>& projects);
// `latest` is the group's newest report, when it is still stored.
Html groupPage(std::string_view user, const ReportGroup& group, std::int64_t page,
               const ListPage<ReportSummary>& reports, const std::optional<StoredReport>& latest);
Html reportPage(std::string_view user, const StoredReport& report,
                std::optional<std::int64_t> groupId);
// After old reports were removed: how many, and the time (as stored) before which they came.
Html prunedPage(std::string_view user, std::int64_t removed, std::string_view before);
Html notFoundPage(std::string_view user);

// `text` as one component of a URL's query: every byte but letters, digits and "-._~"
// percent-encoded.
std::string queryComponent(std::string_view text);

}  // namespace kx::server::support
