#pragma once
// The stored error reports grouped by cause (report_fingerprint.h): one row per group with its
// count, first and last arrival and the versions it was reported from, kept up to date as reports
// are stored and removed, so that the lists never group the reports again.
//
// A report is filed under its group by the code that stores it, in the same transaction; the
// catalog's triggers take a removed report (however it is removed) out of its group and drop a
// group that is left empty. Works on the catalog's connection and is no more safe for concurrent
// use than the catalog; every failure of the file throws sqlite::Error.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/sqlite/sqlite_database.h"
#include "server/support/store/report_fields.h"

namespace kx::server::support {

struct ReportGroup {
    std::int64_t id = 0;
    std::string fingerprint;
    // The grouping fields, as the latest report of the group sent them (the description too).
    std::string project;
    std::string errorNumber;
    std::string module;
    std::string routine;
    std::string lineNumber;
    std::string description;
    std::int64_t reportCount = 0;
    std::string firstSeen;  // "yyyy-mm-ddThh:mm:ss" UTC, as stored with the reports
    std::string lastSeen;
    std::int64_t latestReportId = 0;  // of its stored reports
    // The versions of its reports, the most recently reported first; more are left out.
    std::vector<std::string> versions;
    bool moreVersions = false;
};

// What the list of groups is narrowed to; empty texts narrow nothing.
struct GroupFilter {
    std::string project{};  // exactly this project name
    std::string version{};  // groups with a report of exactly this version
    std::string text{};     // in the description, module or routine (letter case of ASCII aside)
};

// One page of a list, and how many entries the whole list has.
template <typename Entry>
struct ListPage {
    std::int64_t total = 0;
    std::vector<Entry> entries;
};

// A report as the list of a group shows it.
struct ReportSummary {
    std::int64_t id = 0;
    std::string receivedAt;
    std::string clientAddress;
    std::string version;
};

class ReportGroups {
  public:
    static constexpr std::int64_t kPageSize = 50;

    explicit ReportGroups(sqlite::Database& db) : db_(db) {}

    // Files the stored report `reportId` (arrived at `receivedAt`) under the group of its
    // fingerprint, which is made when it is the first of its kind. Call it in the transaction
    // that stores the report.
    void add(std::int64_t reportId, const std::string& receivedAt, const ReportFields& fields);

    // Page `page` (from 1) of the groups that pass `filter`, the latest activity first.
    ListPage<ReportGroup> groups(const GroupFilter& filter, std::int64_t page);
    std::optional<ReportGroup> group(std::int64_t id, std::size_t maxVersions = 1000);
    // Page `page` (from 1) of the reports of a group, the newest first.
    ListPage<ReportSummary> reports(std::int64_t groupId, std::int64_t page);
    // The group of a stored report.
    std::optional<std::int64_t> groupOf(std::int64_t reportId);
    // The project names of the groups, sorted; at most `limit`.
    std::vector<std::string> projects(std::size_t limit = 200);

  private:
    void readVersions(ReportGroup& group, std::size_t limit);

    sqlite::Database& db_;
};

}  // namespace kx::server::support
