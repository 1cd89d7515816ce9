#include "server/support/store/support_accounts.h"

#include <algorithm>
#include <stdexcept>

#include "platform/files/sha256_file.h"

namespace kx::server::support {

namespace {

// Seconds between two records of a session's use.
constexpr std::int64_t kUseRecordedEvery = 60;

std::string digestOf(const std::string& token) {
    files::Sha256 digest;
    digest.update(token.data(), token.size());
    return digest.finishHex();
}

void requireLogin(const std::string& login) {
    const bool printable = std::all_of(login.begin(), login.end(),
                                       [](unsigned char c) { return c >= 0x20 && c != 0x7F; });
    if (login.empty() || login.size() > SupportAccounts::kMaxLoginLength || !printable) {
        throw std::invalid_argument("a support login is 1 to " +
                                    std::to_string(SupportAccounts::kMaxLoginLength) +
                                    " printable characters");
    }
}

}  // namespace

void SupportAccounts::add(const std::string& login, const std::string& passwordHash) {
    requireLogin(login);
    if (find(login)) {
        throw std::invalid_argument("support user " + login + " exists already");
    }
    db_.prepare("INSERT INTO support_users(login, password_hash) VALUES(?, ?)")
        .bind(1, login)
        .bind(2, passwordHash)
        .run();
}

void SupportAccounts::remove(const std::string& login) {
    const auto user = find(login);
    if (!user) {
        throw std::invalid_argument("no support user " + login);
    }
    sqlite::inTransaction(db_, [&] {
        db_.prepare("DELETE FROM support_sessions WHERE user_id = ?").bind(1, user->id).run();
        db_.prepare("DELETE FROM support_users WHERE id = ?").bind(1, user->id).run();
    });
}

std::optional<SupportUser> SupportAccounts::find(const std::string& login) {
    auto row = db_.prepare("SELECT id, login, password_hash FROM support_users WHERE login = ?");
    row.bind(1, login);
    if (!row.step()) {
        return std::nullopt;
    }
    return SupportUser{row.integer(0), row.text(1), row.text(2)};
}

void SupportAccounts::startSession(std::int64_t userId, const std::string& token,
                                   std::int64_t now) {
    sqlite::inTransaction(db_, [&] {
        db_.prepare("DELETE FROM support_sessions WHERE last_used <= ?")
            .bind(1, now - kIdleSeconds)
            .run();
        db_.prepare(
               "INSERT INTO support_sessions(token_digest, user_id, last_used) VALUES(?, ?, ?)")
            .bind(1, digestOf(token))
            .bind(2, userId)
            .bind(3, now)
            .run();
    });
}

std::optional<std::string> SupportAccounts::sessionLogin(const std::string& token,
                                                         std::int64_t now) {
    const std::string digest = digestOf(token);
    std::int64_t lastUsed = 0;
    std::string login;
    {
        auto row = db_.prepare(
            "SELECT s.last_used, u.login FROM support_sessions s JOIN support_users u "
            "ON u.id = s.user_id WHERE s.token_digest = ?");
        row.bind(1, digest);
        if (!row.step()) {
            return std::nullopt;
        }
        lastUsed = row.integer(0);
        login = row.text(1);
    }
    if (lastUsed <= now - kIdleSeconds) {
        endSession(token);
        return std::nullopt;
    }
    if (now - lastUsed >= kUseRecordedEvery) {
        db_.prepare("UPDATE support_sessions SET last_used = ? WHERE token_digest = ?")
            .bind(1, now)
            .bind(2, digest)
            .run();
    }
    return login;
}

void SupportAccounts::endSession(const std::string& token) {
    db_.prepare("DELETE FROM support_sessions WHERE token_digest = ?")
        .bind(1, digestOf(token))
        .run();
}

}  // namespace kx::server::support
