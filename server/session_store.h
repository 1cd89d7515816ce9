#pragma once
// The sessions of the running server, kept in the catalog: login tokens and the login notes
// written under them. Times are seconds since 1970. A token is 128 random bits as hex, valid for
// the catalog's token lifetime at the one business-object path it was issued at; expired tokens
// are purged when new ones are issued.
//
// A store works on its catalog's connection and is no more safe for concurrent use than the
// catalog; every failure of the file throws CatalogError.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "server/sqlite_db.h"

namespace kx::server {

// What a login token stands for.
struct TokenBinding {
    std::int64_t userId = 0;
    std::string filerCode;
    std::string login;
    std::int64_t deploymentId = 0;
    std::string busObjPath;  // where the token was issued and where alone it is accepted
    bool client = false;     // issued by the CLIENT object rather than the BROKER one
    std::string ipText;      // the address the launcher reported at login
};

class SessionStore {
  public:
    static constexpr std::int64_t kDefaultTokenLifetimeSeconds = 12 * 3600;
    static constexpr std::int64_t kMaxTokenLifetimeSeconds = 10LL * 365 * 24 * 3600;

    explicit SessionStore(Database& db) : db_(db) {}

    // The catalog's token lifetime; CatalogError when the catalog holds none from 1 to
    // kMaxTokenLifetimeSeconds.
    std::int64_t tokenLifetimeSeconds();
    void setTokenLifetimeSeconds(std::int64_t seconds);

    // A new token for `binding` (its filerCode and login are not stored; they are the user's),
    // valid from `now` for the token lifetime.
    std::string issueToken(const TokenBinding& binding, std::int64_t now);
    // The binding of a token that exists, has not expired and was issued at `busObjPath`.
    std::optional<TokenBinding> resolveToken(const std::string& token,
                                             const std::string& busObjPath, std::int64_t now);

    void addLoginNote(const TokenBinding& binding, const std::string& notes,
                      const std::string& clientAddress, std::int64_t now);
    // One JSON object per line, oldest first (catalog_listing.h).
    void writeLoginNotes(std::ostream& out);

  private:
    Database& db_;
};

}  // namespace kx::server
