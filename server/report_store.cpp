#include "report_store.h"

#include "catalog.h"
#include "catalog_listing.h"
#include "catalog_settings.h"
#include "report_groups.h"

namespace kx::server {

namespace {

// The running total of the stored reports' bytes, kept beside the reports so that the cap is
// checked without reading them.
constexpr const char* kReportBytesKey = "error_report_bytes";

constexpr const char* kReportColumns = "id, received_at, client_address, fields";

StoredReport readReport(const Statement& row) {
    return {row.integer(0), row.text(1), row.text(2), support::storedFields(row.text(3))};
}

}  // namespace

std::string reportLine(const StoredReport& report) {
    nlohmann::ordered_json line;
    line["id"] = report.id;
    line["receivedAt"] = report.receivedAt;
    line["clientAddress"] = report.clientAddress;
    nlohmann::ordered_json fields = nlohmann::ordered_json::object();
    for (const auto& [name, value] : support::mergedFields(report.fields)) {
        fields[name] = value;
    }
    line["fields"] = std::move(fields);
    return line.dump();
}

ReportAdmission ReportStore::add(const FormFields& fields, const std::string& clientAddress,
                                 std::int64_t now, std::uint64_t storeLimit) {
    const std::string text = support::storedFieldsText(fields);
    if (text.size() > storeLimit) {
        return ReportAdmission::TooLarge;
    }
    ReportAdmission admission = ReportAdmission::Stored;
    inTransaction(db_, [&] {
        const std::uint64_t stored = storedBytes();
        if (stored + text.size() > storeLimit) {
            admission = ReportAdmission::StoreFull;
            return;
        }
        const std::string receivedAt = isoTimestamp(now);
        db_.prepare(
               "INSERT INTO error_reports(received_at, client_address, fields) VALUES(?, ?, ?)")
            .bind(1, receivedAt)
            .bind(2, clientAddress)
            .bind(3, text)
            .run();
        support::ReportGroups(db_).add(db_.lastInsertId(), receivedAt, fields);
        writeSetting(db_, kReportBytesKey, std::to_string(stored + text.size()));
    });
    return admission;
}

std::uint64_t ReportStore::storedBytes() {
    if (const auto kept =
            numberSetting(db_, kReportBytesKey, 0, std::numeric_limits<std::int64_t>::max())) {
        return static_cast<std::uint64_t>(*kept);
    }
    // A catalog without reports yet, or with a damaged total: count once.
    return countStoredBytes();
}

std::uint64_t ReportStore::countStoredBytes() {
    auto query =
        db_.prepare("SELECT COALESCE(SUM(LENGTH(CAST(fields AS BLOB))), 0) FROM error_reports");
    query.step();
    return static_cast<std::uint64_t>(query.integer(0));
}

std::int64_t ReportStore::removeReceivedBefore(std::int64_t before) {
    std::int64_t removed = 0;
    inTransaction(db_, [&] {
        // The stamps are "yyyy-mm-ddThh:mm:ss", which sort as the times they stand for.
        db_.prepare("DELETE FROM error_reports WHERE received_at < ?")
            .bind(1, isoTimestamp(before))
            .run();
        removed = db_.changes();
        writeSetting(db_, kReportBytesKey, std::to_string(countStoredBytes()));
    });
    return removed;
}

void ReportStore::writeAll(std::ostream& out) {
    writeRowsInBatches(
        db_, out,
        (std::string("SELECT ") + kReportColumns + " FROM error_reports WHERE id > ? ORDER BY id")
            .c_str(),
        [](const Statement& row) { return reportLine(readReport(row)); });
}

std::optional<StoredReport> ReportStore::find(std::int64_t id) {
    auto row =
        db_.prepare(std::string("SELECT ") + kReportColumns + " FROM error_reports WHERE id = ?");
    row.bind(1, id);
    if (!row.step()) {
        return std::nullopt;
    }
    return readReport(row);
}

}  // namespace kx::server
