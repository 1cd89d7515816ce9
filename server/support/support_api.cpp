#include "server/support/support_api.h"

#include <nlohmann/json.hpp>

namespace kx::server::support {

namespace {

using Json = nlohmann::ordered_json;

Json groupObject(const ReportGroup& group) {
    return {{"id", group.id},
            {"fingerprint", group.fingerprint},
            {"project", group.project},
            {"errorNumber", group.errorNumber},
            {"module", group.module},
            {"routine", group.routine},
            {"lineNumber", group.lineNumber},
            {"description", group.description},
            {"reportCount", group.reportCount},
            {"firstSeen", group.firstSeen},
            {"lastSeen", group.lastSeen},
            {"latestReportId", group.latestReportId},
            {"versions", group.versions},
            {"moreVersions", group.moreVersions}};
}

template <typename Entry>
Json pageObject(const ListPage<Entry>& list, std::int64_t page) {
    return {{"page", page}, {"pageSize", ReportGroups::kPageSize}, {"total", list.total}};
}

std::string text(const Json& json) {
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

std::string groupsJson(const ListPage<ReportGroup>& groups, std::int64_t page) {
    Json answer = pageObject(groups, page);
    answer["groups"] = Json::array();
    for (const ReportGroup& group : groups.entries) {
        answer["groups"].push_back(groupObject(group));
    }
    return text(answer);
}

std::string groupJson(const ReportGroup& group, const ListPage<ReportSummary>& reports,
                      std::int64_t page) {
    Json answer = {{"group", groupObject(group)}};
    answer.update(pageObject(reports, page));
    answer["reports"] = Json::array();
    for (const ReportSummary& report : reports.entries) {
        answer["reports"].push_back({{"id", report.id},
                                     {"receivedAt", report.receivedAt},
                                     {"version", report.version},
                                     {"clientAddress", report.clientAddress}});
    }
    return text(answer);
}

}  // namespace kx::server::support
