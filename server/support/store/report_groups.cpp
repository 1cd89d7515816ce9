#include "server/support/store/report_groups.h"

#include <algorithm>
#include <limits>

#include "platform/text/ascii_text.h"
#include "server/support/store/report_fingerprint.h"

namespace kx::server::support {

namespace {

// Every report may come from anyone: what a group keeps of its texts is bounded, so that a page
// of groups stays small. The fingerprint has seen the whole texts.
constexpr std::size_t kNameBytes = 500;
constexpr std::size_t kNumberBytes = 50;
constexpr std::size_t kDescriptionBytes = 4000;
constexpr std::size_t kVersionBytes = 100;
constexpr std::size_t kVersionsListed = 10;

// The latest report is looked up rather than remembered: the one remembered may have been removed.
constexpr const char* kGroupColumns =
    "g.id, g.fingerprint, g.project, g.error_number, g.module, g.routine, g.line_number, "
    "g.description, g.report_count, g.first_seen, g.last_seen, "
    "(SELECT MAX(m.report_id) FROM report_group_members m WHERE m.group_id = g.id)";

// Every group passing the filter's three conditions; an empty condition passes every group.
constexpr const char* kFilteredGroups =
    " FROM report_groups g WHERE (?1 = '' OR g.project = ?1) AND (?2 = '' OR EXISTS("
    "SELECT 1 FROM report_group_versions v WHERE v.group_id = g.id AND v.version = ?2)) AND "
    "(?3 = '' OR g.description LIKE ?3 ESCAPE '\\' OR g.module LIKE ?3 ESCAPE '\\' OR "
    "g.routine LIKE ?3 ESCAPE '\\')";

std::string bounded(std::string_view text, std::size_t maxBytes) {
    return std::string(utf8Prefix(ascii::trimWhitespace(text), maxBytes));
}

// A LIKE pattern that finds `text` anywhere, its own "%" and "_" taken literally.
std::string containsPattern(const std::string& text) {
    if (text.empty()) {
        return text;
    }
    std::string pattern = "%";
    for (const char c : text) {
        if (c == '%' || c == '_' || c == '\\') {
            pattern += '\\';
        }
        pattern += c;
    }
    return pattern + "%";
}

std::int64_t offsetOf(std::int64_t page) {
    const std::int64_t lastPage =
        std::numeric_limits<std::int64_t>::max() / ReportGroups::kPageSize;
    return (std::clamp<std::int64_t>(page, 1, lastPage) - 1) * ReportGroups::kPageSize;
}

ReportGroup readGroup(const sqlite::Statement& row) {
    ReportGroup group;
    group.id = row.integer(0);
    group.fingerprint = row.text(1);
    group.project = row.text(2);
    group.errorNumber = row.text(3);
    group.module = row.text(4);
    group.routine = row.text(5);
    group.lineNumber = row.text(6);
    group.description = row.text(7);
    group.reportCount = row.integer(8);
    group.firstSeen = row.text(9);
    group.lastSeen = row.text(10);
    group.latestReportId = row.integer(11);
    return group;
}

}  // namespace

void ReportGroups::add(std::int64_t reportId, const std::string& receivedAt,
                       const ReportFields& fields) {
    // The latest report gives the group its description; the other grouping fields are the same
    // in every report of the group.
    std::int64_t groupId = 0;
    {
        auto upsert = db_.prepare(
            "INSERT INTO report_groups(fingerprint, rules, project, error_number, module, routine, "
            "line_number, description, first_seen, last_seen, last_report_id) "
            "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?9, ?10) ON CONFLICT(fingerprint) DO "
            "UPDATE SET description = excluded.description, last_seen = excluded.last_seen, "
            "last_report_id = excluded.last_report_id RETURNING id");
        upsert.bind(1, reportFingerprint(fields)).bind(2, kGroupingRules);
        upsert.bind(3, bounded(fieldValue(fields, "ProjectName"), kNameBytes));
        upsert.bind(4, bounded(fieldValue(fields, "ErrorNumber"), kNumberBytes));
        upsert.bind(5, bounded(fieldValue(fields, "Module"), kNameBytes));
        upsert.bind(6, bounded(fieldValue(fields, "Routine"), kNameBytes));
        upsert.bind(7, bounded(fieldValue(fields, "LineNumber"), kNumberBytes));
        upsert.bind(8, bounded(fieldValue(fields, "ErrorDescription"), kDescriptionBytes));
        upsert.bind(9, receivedAt).bind(10, reportId);
        upsert.step();
        groupId = upsert.integer(0);
    }
    db_.prepare("INSERT INTO report_group_members(report_id, group_id, version) VALUES(?, ?, ?)")
        .bind(1, reportId)
        .bind(2, groupId)
        .bind(3, bounded(fieldValue(fields, "ProjectVersion"), kVersionBytes))
        .run();
}

ListPage<ReportGroup> ReportGroups::groups(const GroupFilter& filter, std::int64_t page) {
    const auto bindFilter = [&](sqlite::Statement& query) -> sqlite::Statement& {
        return query.bind(1, filter.project)
            .bind(2, filter.version)
            .bind(3, containsPattern(filter.text));
    };
    ListPage<ReportGroup> list;
    auto count = db_.prepare(std::string("SELECT COUNT(*)") + kFilteredGroups);
    bindFilter(count).step();
    list.total = count.integer(0);
    auto rows = db_.prepare(std::string("SELECT ") + kGroupColumns + kFilteredGroups +
                            " ORDER BY g.last_report_id DESC LIMIT ?4 OFFSET ?5");
    bindFilter(rows).bind(4, kPageSize).bind(5, offsetOf(page));
    while (rows.step()) {
        list.entries.push_back(readGroup(rows));
    }
    for (ReportGroup& group : list.entries) {
        readVersions(group, kVersionsListed);
    }
    return list;
}

std::optional<ReportGroup> ReportGroups::group(std::int64_t id, std::size_t maxVersions) {
    auto row = db_.prepare(std::string("SELECT ") + kGroupColumns +
                           " FROM report_groups g WHERE g.id = ?");
    row.bind(1, id);
    if (!row.step()) {
        return std::nullopt;
    }
    ReportGroup group = readGroup(row);
    readVersions(group, maxVersions);
    return group;
}

void ReportGroups::readVersions(ReportGroup& group, std::size_t limit) {
    auto rows = db_.prepare(
        "SELECT version FROM report_group_versions WHERE group_id = ? "
        "ORDER BY last_report_id DESC LIMIT ?");
    rows.bind(1, group.id).bind(2, static_cast<std::int64_t>(limit) + 1);
    while (rows.step()) {
        if (group.versions.size() == limit) {
            group.moreVersions = true;
            break;
        }
        group.versions.push_back(rows.text(0));
    }
}

ListPage<ReportSummary> ReportGroups::reports(std::int64_t groupId, std::int64_t page) {
    ListPage<ReportSummary> list;
    auto count = db_.prepare("SELECT report_count FROM report_groups WHERE id = ?");
    count.bind(1, groupId);
    list.total = count.step() ? count.integer(0) : 0;
    auto rows = db_.prepare(
        "SELECT m.report_id, r.received_at, r.client_address, m.version "
        "FROM report_group_members m JOIN error_reports r ON r.id = m.report_id "
        "WHERE m.group_id = ? ORDER BY m.report_id DESC LIMIT ? OFFSET ?");
    rows.bind(1, groupId).bind(2, kPageSize).bind(3, offsetOf(page));
    while (rows.step()) {
        list.entries.push_back({rows.integer(0), rows.text(1), rows.text(2), rows.text(3)});
    }
    return list;
}

std::optional<std::int64_t> ReportGroups::groupOf(std::int64_t reportId) {
    auto row = db_.prepare("SELECT group_id FROM report_group_members WHERE report_id = ?");
    row.bind(1, reportId);
    if (!row.step()) {
        return std::nullopt;
    }
    return row.integer(0);
}

std::vector<std::string> ReportGroups::projects(std::size_t limit) {
    auto rows = db_.prepare("SELECT DISTINCT project FROM report_groups ORDER BY project LIMIT ?");
    rows.bind(1, static_cast<std::int64_t>(limit));
    std::vector<std::string> names;
    while (rows.step()) {
        names.push_back(rows.text(0));
    }
    return names;
}

}  // namespace kx::server::support
