#include "server/session_store.h"

#include "server/catalog.h"
#include "server/catalog_listing.h"
#include "server/catalog_settings.h"
#include "server/password.h"

namespace kx::server {

namespace {

// 16 bytes = 128 bits of OpenSSL randomness per token.
constexpr std::size_t kTokenBytes = 16;

constexpr const char* kTokenLifetimeKey = "token_lifetime_seconds";

std::string noteLine(const Statement& row) {
    nlohmann::ordered_json line = listedLineStart(row, "writtenAt");
    line["filerCode"] = row.text(3);
    line["login"] = row.text(4);
    line["deploymentId"] = row.integer(5);
    line["ipText"] = row.text(6);
    line["notes"] = row.text(7);
    return line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

std::int64_t SessionStore::tokenLifetimeSeconds() {
    return requiredNumberSetting(db_, kTokenLifetimeKey, 1, kMaxTokenLifetimeSeconds);
}

void SessionStore::setTokenLifetimeSeconds(std::int64_t seconds) {
    writeSetting(db_, kTokenLifetimeKey, std::to_string(seconds));
}

std::string SessionStore::issueToken(const TokenBinding& binding, std::int64_t now) {
    std::string token = randomHex(kTokenBytes);
    inTransaction(db_, [&] {
        const std::int64_t expiresAt = now + tokenLifetimeSeconds();
        db_.prepare("DELETE FROM tokens WHERE expires_at <= ?").bind(1, now).run();
        auto insert = db_.prepare(
            "INSERT INTO tokens(token, user_id, deployment_id, bus_obj_path, is_client, ip_text, "
            "expires_at) VALUES(?, ?, ?, ?, ?, ?, ?)");
        insert.bind(1, token).bind(2, binding.userId).bind(3, binding.deploymentId);
        insert.bind(4, binding.busObjPath).bind(5, std::int64_t{binding.client ? 1 : 0});
        insert.bind(6, binding.ipText).bind(7, expiresAt).run();
    });
    return token;
}

std::optional<TokenBinding> SessionStore::resolveToken(const std::string& token,
                                                       const std::string& busObjPath,
                                                       std::int64_t now) {
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

void SessionStore::addLoginNote(const TokenBinding& binding, const std::string& notes,
                                const std::string& clientAddress, std::int64_t now) {
    auto insert = db_.prepare(
        "INSERT INTO login_notes(written_at, client_address, filer_code, login, deployment_id, "
        "ip_text, notes) VALUES(?, ?, ?, ?, ?, ?, ?)");
    insert.bind(1, isoTimestamp(now)).bind(2, clientAddress).bind(3, binding.filerCode);
    insert.bind(4, binding.login).bind(5, binding.deploymentId).bind(6, binding.ipText);
    insert.bind(7, notes).run();
}

void SessionStore::writeLoginNotes(std::ostream& out) {
    writeRowsInBatches(db_, out,
                       "SELECT id, written_at, client_address, filer_code, login, deployment_id, "
                       "ip_text, notes FROM login_notes WHERE id > ? ORDER BY id",
                       noteLine);
}

}  // namespace kx::server
