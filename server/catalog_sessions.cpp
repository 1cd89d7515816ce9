// Login tokens, login notes and error reports: the parts of the catalog that the running server
// writes.

#include <nlohmann/json.hpp>

#include "catalog.h"
#include "password.h"

namespace kx::server {

namespace {

// 16 bytes = 128 bits of OpenSSL randomness per token.
constexpr std::size_t kTokenBytes = 16;

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

void Catalog::addErrorReport(const FormFields& fields, const std::string& clientAddress,
                             std::int64_t now) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const auto& [name, value] : fields) {
        list.push_back({name, value});
    }
    db_.prepare("INSERT INTO error_reports(received_at, client_address, fields) VALUES(?, ?, ?)")
        .bind(1, isoTimestamp(now))
        .bind(2, clientAddress)
        // Replacement keeps a report whose fields are not valid UTF-8 rather than losing it.
        .bind(3, list.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace))
        .run();
}

std::string Catalog::errorReportsAsJsonLines() {
    auto query = db_.prepare(
        "SELECT id, received_at, client_address, fields FROM error_reports ORDER BY id");
    std::string out;
    while (query.step()) {
        nlohmann::ordered_json line;
        line["id"] = query.integer(0);
        line["receivedAt"] = query.text(1);
        line["clientAddress"] = query.text(2);
        nlohmann::ordered_json fields = nlohmann::ordered_json::object();
        for (const auto& pair : nlohmann::ordered_json::parse(query.text(3))) {
            // A repeated field keeps every value, joined by a line break.
            const std::string name = pair.at(0).get<std::string>();
            const std::string value = pair.at(1).get<std::string>();
            fields[name] =
                fields.contains(name) ? fields[name].get<std::string>() + "\n" + value : value;
        }
        line["fields"] = std::move(fields);
        out += line.dump() + "\n";
    }
    return out;
}

std::string Catalog::loginNotesAsJsonLines() {
    auto query = db_.prepare(
        "SELECT id, written_at, client_address, filer_code, login, deployment_id, ip_text, notes "
        "FROM login_notes ORDER BY id");
    std::string out;
    while (query.step()) {
        nlohmann::ordered_json line;
        line["id"] = query.integer(0);
        line["writtenAt"] = query.text(1);
        line["clientAddress"] = query.text(2);
        line["filerCode"] = query.text(3);
        line["login"] = query.text(4);
        line["deploymentId"] = query.integer(5);
        line["ipText"] = query.text(6);
        line["notes"] = query.text(7);
        out += line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    }
    return out;
}

}  // namespace kx::server
