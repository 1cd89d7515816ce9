#pragma once
// The staff accounts of the support pages, apart from the launcher's users, and their sessions.
// An account holds the stored hash of its password (made and checked by the caller, with the
// function that serves the launcher's users). A session is a random token held by the browser;
// the catalog keeps only its SHA-256, so that a copy of the catalog opens no session. A session
// ends when it has not been used for kIdleSeconds, at logout, or when its account is removed.
//
// Works on the catalog's connection and is no more safe for concurrent use than the catalog;
// every failure of the file throws sqlite::Error, a wrong argument std::invalid_argument.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/sqlite/sqlite_database.h"

namespace kx::server::support {

struct SupportUser {
    std::int64_t id = 0;
    std::string login;
    std::string passwordHash;
};

class SupportAccounts {
  public:
    static constexpr std::int64_t kIdleSeconds = 8 * 3600;
    static constexpr std::size_t kMaxLoginLength = 64;

    explicit SupportAccounts(sqlite::Database& db) : db_(db) {}

    // A login is 1 to kMaxLoginLength printable characters, matched without regard to the case
    // of ASCII letters. Fails when the login is taken or not such a text.
    void add(const std::string& login, const std::string& passwordHash);
    // Removes the account and ends its sessions; fails when there is no such account.
    void remove(const std::string& login);
    std::optional<SupportUser> find(const std::string& login);

    // Starts a session for the account under `token`; sessions idle for too long are purged.
    void startSession(std::int64_t userId, const std::string& token, std::int64_t now);
    // The login of the session under `token` when it has been used within kIdleSeconds; its use
    // now is recorded (to the minute, so that reading pages rarely writes).
    std::optional<std::string> sessionLogin(const std::string& token, std::int64_t now);
    void endSession(const std::string& token);

  private:
    sqlite::Database& db_;
};

}  // namespace kx::server::support
