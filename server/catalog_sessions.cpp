// Login tokens, login notes and error reports: the parts of the catalog that the running server
// writes.

#include <algorithm>
#include <functional>
#include <ostream>

#include <nlohmann/json.hpp>

#include "catalog.h"
#include "password.h"

namespace kx::server {

namespace {

// 16 bytes = 128 bits of OpenSSL randomness per token.
constexpr std::size_t kTokenBytes = 16;

// The running total of the stored reports' bytes, kept beside the reports so that the cap is
// checked without reading them.
constexpr const char* kReportBytesKey = "error_report_bytes";

// The start of a listed line: the row's id, when it arrived and from where (its first three
// columns).
nlohmann::ordered_json lineOf(const Statement& row, const char* timeName) {
    nlohmann::ordered_json line;
    line["id"] = row.integer(0);
    line[timeName] = row.text(1);
    line["clientAddress"] = row.text(2);
    return line;
}

std::string reportLine(const Statement& row) {
    nlohmann::ordered_json line = lineOf(row, "receivedAt");
    nlohmann::ordered_json fields = nlohmann::ordered_json::object();
    for (const auto& pair : nlohmann::ordered_json::parse(row.text(3))) {
        // A repeated field keeps every value, joined by a line break.
        const std::string name = pair.at(0).get<std::string>();
        const std::string value = pair.at(1).get<std::string>();
        fields[name] =
            fields.contains(name) ? fields[name].get<std::string>() + "\n" + value : value;
    }
    line["fields"] = std::move(fields);
    return line.dump();
}

std::string noteLine(const Statement& row) {
    nlohmann::ordered_json line = lineOf(row, "writtenAt");
    line["filerCode"] = row.text(3);
    line["login"] = row.text(4);
    line["deploymentId"] = row.integer(5);
    line["ipText"] = row.text(6);
    line["notes"] = row.text(7);
    return line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// A batch of listed lines stops growing at this size; it is written out after its read ends.
constexpr std::size_t kBatchBytes = 4 << 20;

// Writes one line per row of `sql` (whose first column is the row's id and whose one parameter
// is the id to continue after), batch by batch. Each batch is read in a read of its own that
// ends before the batch is written, however slowly the output is taken.
void writeInBatches(Database& db, std::ostream& out, const char* sql,
                    const std::function<std::string(const Statement&)>& renderLine) {
    std::int64_t lastId = 0;
    for (;;) {
        std::string batch;
        {
            auto rows = db.prepare(sql);
            rows.bind(1, lastId);
            while (batch.size() < kBatchBytes && rows.step()) {
                lastId = rows.integer(0);
                batch += renderLine(rows);
                batch += '\n';
            }
        }
        if (batch.empty()) {
            return;
        }
        out << batch;
        out.flush();
    }
}

}  // namespace

std::string Catalog::issueToken(const TokenBinding& binding, std::int64_t expiresAt) {
    std::string token = randomHex(kTokenBytes);
    inTransaction(db_, [&] {
        db_.prepare("DELETE FROM tokens WHERE expires_at <= ?")
            .bind(1, expiresAt - tokenLifetimeSeconds())
            .run();
        auto insert = db_.prepare(
            "INSERT INTO tokens(token, user_id, deployment_id, bus_obj_path, is_client, ip_text, "
            "expires_at) VALUES(?, ?, ?, ?, ?, ?, ?)");
        insert.bind(1, token).bind(2, binding.userId).bind(3, binding.deploymentId);
        insert.bind(4, binding.busObjPath).bind(5, std::int64_t{binding.client ? 1 : 0});
        insert.bind(6, binding.ipText).bind(7, expiresAt).run();
    });
    return token;
}

std::optional<TokenBinding> Catalog::resolveToken(const std::string& token,
                                                  const std::string& busObjPath, std::int64_t now) {
    auto query = db_.prepare(
        "SELECT t.user_id, u.filer_code, u.login, t.deployment_id, t.bus_obj_path, t.is_client, "
        "t.ip_text FROM tokens t JOIN users u ON u.id = t.user_id "
        "WHERE t.token = ? AND t.bus_obj_path = ? AND t.expires_at > ?");
    query.bind(1, token).bind(2, busObjPath).bind(3, now);
    if (!query.step()) {
        return std::nullopt;
    }
    TokenBinding binding;
    binding.userId = query.integer(0);
    binding.filerCode = query.text(1);
    binding.login = query.text(2);
    binding.deploymentId = query.integer(3);
    binding.busObjPath = query.text(4);
    binding.client = query.integer(5) != 0;
    binding.ipText = query.text(6);
    return binding;
}

void Catalog::addLoginNote(const TokenBinding& binding, const std::string& notes,
                           const std::string& clientAddress, std::int64_t now) {
    auto insert = db_.prepare(
        "INSERT INTO login_notes(written_at, client_address, filer_code, login, deployment_id, "
        "ip_text, notes) VALUES(?, ?, ?, ?, ?, ?, ?)");
    insert.bind(1, isoTimestamp(now)).bind(2, clientAddress).bind(3, binding.filerCode);
    insert.bind(4, binding.login).bind(5, binding.deploymentId).bind(6, binding.ipText);
    insert.bind(7, notes).run();
}

DroppedReports Catalog::addErrorReport(const FormFields& fields, const std::string& clientAddress,
                                       std::int64_t now, std::uint64_t storeLimit) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const auto& [name, value] : fields) {
        list.push_back({name, value});
    }
    // Replacement keeps a report whose fields are not valid UTF-8 rather than losing it.
    const std::string text = list.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    DroppedReports dropped;
    inTransaction(db_, [&] {
        const std::uint64_t stored = storedReportBytes();
        if (stored + text.size() > storeLimit) {
            dropped = dropOldestReports(stored + text.size() - storeLimit);
        }
        db_.prepare(
               "INSERT INTO error_reports(received_at, client_address, fields) VALUES(?, ?, ?)")
            .bind(1, isoTimestamp(now))
            .bind(2, clientAddress)
            .bind(3, text)
            .run();
        setSetting(kReportBytesKey, std::to_string(stored - dropped.bytes + text.size()));
    });
    return dropped;
}

std::uint64_t Catalog::storedReportBytes() {
    try {
        return std::stoull(setting(kReportBytesKey, ""));
    } catch (const std::logic_error&) {
        // A catalog from before the count was kept (or with a damaged count): count once.
    }
    auto query =
        db_.prepare("SELECT COALESCE(SUM(LENGTH(CAST(fields AS BLOB))), 0) FROM error_reports");
    query.step();
    return static_cast<std::uint64_t>(query.integer(0));
}

DroppedReports Catalog::dropOldestReports(std::uint64_t bytesToFree) {
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

void Catalog::writeErrorReports(std::ostream& out) {
    writeInBatches(db_, out,
                   "SELECT id, received_at, client_address, fields FROM error_reports "
                   "WHERE id > ? ORDER BY id",
                   reportLine);
}

void Catalog::writeLoginNotes(std::ostream& out) {
    writeInBatches(db_, out,
                   "SELECT id, written_at, client_address, filer_code, login, deployment_id, "
                   "ip_text, notes FROM login_notes WHERE id > ? ORDER BY id",
                   noteLine);
}

}  // namespace kx::server
