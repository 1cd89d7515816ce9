#include "server/report_store.h"

#include <algorithm>
#include <optional>

#include "platform/text/ascii_text.h"
#include "server/catalog.h"
#include "server/catalog_listing.h"
#include "server/catalog_settings.h"
#include "server/support/store/report_groups.h"

namespace kx::server {

namespace {

// The running total of the stored reports' bytes, kept beside the reports so that the cap is
// checked without reading them.
constexpr const char* kReportBytesKey = "error_report_bytes";

// The id of a report: the value of its first "ReportId" field when that is a UUID (lower-cased),
// else nothing.
std::optional<std::string> reportIdOf(const FormFields& fields) {
    const auto field = std::find_if(fields.begin(), fields.end(),
                                    [](const auto& pair) { return pair.first == kReportIdField; });
    if (field == fields.end() || field->second.size() != 36) {
        return std::nullopt;
    }
    std::string id = ascii::lowerCase(field->second);
    for (std::size_t i = 0; i < id.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        const bool hexDigit = ascii::isDigit(id[i]) || (id[i] >= 'a' && id[i] <= 'f');
        if (dash ? id[i] != '-' : !hexDigit) {
            return std::nullopt;
        }
    }
    return id;
}

constexpr const char* kReportColumns = "id, received_at, client_address, fields, report_id";

StoredReport readReport(const Statement& row) {
    return {row.integer(0), row.text(1), row.text(2), support::storedFields(row.text(3)),
            row.isNull(4) ? std::nullopt : std::optional<std::string>(row.text(4))};
}

}  // namespace

std::string reportLine(const StoredReport& report) {
    nlohmann::ordered_json line;
    line["id"] = report.id;
    line["receivedAt"] = report.receivedAt;
    line["clientAddress"] = report.clientAddress;
    line["reportId"] =
        report.reportId ? nlohmann::ordered_json(*report.reportId) : nlohmann::ordered_json();
    nlohmann::ordered_json fields = nlohmann::ordered_json::object();
    for (const auto& [name, value] : support::mergedFields(report.fields)) {
        fields[name] = value;
    }
    line["fields"] = std::move(fields);
    return line.dump();
}

ReportAdmission ReportStore::add(const FormFields& fields, const std::string& clientAddress,
                                 std::int64_t now, std::uint64_t storeLimit) {
    const std::optional<std::string> id = reportIdOf(fields);
    const std::string text = support::storedFieldsText(fields);
    if (text.size() > storeLimit) {
        return ReportAdmission::TooLarge;
    }
    ReportAdmission admission = ReportAdmission::Stored;
    inTransaction(db_, [&] {
        // Checked before the cap: a report stored already is answered as stored even when the
        // store has since filled up.
        if (id && storedAlready(*id)) {
            admission = ReportAdmission::StoredAlready;
            return;
        }
        const std::uint64_t stored = storedBytes();
        if (stored + text.size() > storeLimit) {
            admission = ReportAdmission::StoreFull;
            return;
        }
        const std::string receivedAt = isoTimestamp(now);
        auto insert = db_.prepare(
            "INSERT INTO error_reports(received_at, client_address, fields, report_id) "
            "VALUES(?, ?, ?, ?)");
        insert.bind(1, receivedAt).bind(2, clientAddress).bind(3, text);
        if (id) {
            insert.bind(4, *id);
        } else {
            insert.bindNull(4);
        }
        insert.run();
        // Reached only for a new row: a report sent again is neither counted nor filed twice.
        support::ReportGroups(db_).add(db_.lastInsertId(), receivedAt, fields);
        writeSetting(db_, kReportBytesKey, std::to_string(stored + text.size()));
    });
    return admission;
}

bool ReportStore::storedAlready(const std::string& id) {
    auto query = db_.prepare("SELECT 1 FROM error_reports WHERE report_id = ?");
    query.bind(1, id);
    return query.step();
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
