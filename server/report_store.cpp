#include "report_store.h"

#include <algorithm>
#include <optional>

#include "ascii_text.h"
#include "catalog.h"
#include "catalog_listing.h"
#include "catalog_settings.h"

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

std::string reportLine(const Statement& row) {
    nlohmann::ordered_json line = listedLineStart(row, "receivedAt");
    line["reportId"] =
        row.isNull(4) ? nlohmann::ordered_json() : nlohmann::ordered_json(row.text(4));
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

AddedReport ReportStore::add(const FormFields& fields, const std::string& clientAddress,
                             std::int64_t now, std::uint64_t storeLimit) {
    const std::optional<std::string> id = reportIdOf(fields);
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const auto& [name, value] : fields) {
        list.push_back({name, value});
    }
    // Replacement keeps a report whose fields are not valid UTF-8 rather than losing it.
    const std::string text = list.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    AddedReport added;
    DroppedReports& dropped = added.dropped;
    inTransaction(db_, [&] {
        if (id && storedAlready(*id)) {
            added.storedBefore = true;
            return;
        }
        const std::uint64_t stored = storedBytes();
        if (stored + text.size() > storeLimit) {
            dropped = dropOldest(stored + text.size() - storeLimit);
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
        writeSetting(db_, kReportBytesKey, std::to_string(stored - dropped.bytes + text.size()));
    });
    return added;
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
    auto query =
        db_.prepare("SELECT COALESCE(SUM(LENGTH(CAST(fields AS BLOB))), 0) FROM error_reports");
    query.step();
    return static_cast<std::uint64_t>(query.integer(0));
}

DroppedReports ReportStore::dropOldest(std::uint64_t bytesToFree) {
    DroppedReports dropped;
    std::int64_t lastId = 0;
    {
        auto oldest =
            db_.prepare("SELECT id, LENGTH(CAST(fields AS BLOB)) FROM error_reports ORDER BY id");
        while (dropped.bytes < bytesToFree && oldest.step()) {
            lastId = oldest.integer(0);
            dropped.bytes += static_cast<std::uint64_t>(oldest.integer(1));
            ++dropped.count;
        }
    }
    db_.prepare("DELETE FROM error_reports WHERE id <= ?").bind(1, lastId).run();
    return dropped;
}

void ReportStore::writeAll(std::ostream& out) {
    writeRowsInBatches(
        db_, out,
        "SELECT id, received_at, client_address, fields, report_id FROM error_reports "
        "WHERE id > ? ORDER BY id",
        reportLine);
}

}  // namespace kx::server
