#pragma once
// The lists of the support pages as JSON, for tools: the same entries and pages of 50.

#include <cstdint>
#include <string>

#include "server/support/store/report_groups.h"

namespace kx::server::support {

// {"page", "pageSize", "total", "groups": [group...]}
std::string groupsJson(const ListPage<ReportGroup>& groups, std::int64_t page);
// {"group": group, "page", "pageSize", "total", "reports": [{"id", "receivedAt", "version",
// "clientAddress"}...]}, the reports the newest first.
std::string groupJson(const ReportGroup& group, const ListPage<ReportSummary>& reports,
                      std::int64_t page);

}  // namespace kx::server::support
