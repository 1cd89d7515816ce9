#include "report_store.h"

#include "catalog.h"
#include "catalog_listing.h"
#include "catalog_settings.h"

namespace kx::server {

namespace {

// The running total of the stored reports' bytes, kept beside the reports so that the cap is
// checked without reading them.
constexpr const char* kReportBytesKey = "error_report_bytes";

std::string reportLine(const Statement& row) {
    nlohmann::ordered_json line = listedLineStart(row, "receivedAt");
    nlohmann::ordered_json fields = nlohmann::ordered_json::object();
    for (const auto& pair : nlohmann::ordered_json::parse(row.text(3))) {
        const std::string name = pair.at(0).get<std::string>();
        const std::string value = pair.at(1).get<std::string>();
        fields[name] =
            fields.contains(name) ? fields[name].get<std::string>() + "\n" + value : value;
    }
    line["fields"] = std::move(fields);
    return line.dump();
}

}  // namespace

ReportAdmission ReportStore::add(const FormFields& fields, const std::string& clientAddress,
                                 std::int64_t now, std::uint64_t storeLimit) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const auto& [name, value] : fields) {
        list.push_back({name, value});
    }
    // Replacement keeps a report whose fields are not valid UTF-8 rather than losing it.
    const std::string text = list.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
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
        db_.prepare(
               "INSERT INTO error_reports(received_at, client_address, fields) VALUES(?, ?, ?)")
            .bind(1, isoTimestamp(now))
            .bind(2, clientAddress)
            .bind(3, text)
            .run();
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
    writeRowsInBatches(db_, out,
                       "SELECT id, received_at, client_address, fields FROM error_reports "
                       "WHERE id > ? ORDER BY id",
                       reportLine);
}

}  // namespace kx::server
