#pragma once
// The business objects "KXBO_V2.Init" and "KXBOGeneral_V3.Init" and their seven calls, on top of
// the catalog. Transport-free: the HTTP server hands in the parsed call and where it arrived.
// The catalog is locked for each step that reads or writes it, never while a password is hashed.
// A login that proves an outdated stored hash right (an older scheme, or other costs than the
// catalog's) stores the password anew at the catalog's cost.

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "server/call_arguments.h"
#include "server/password_checks.h"
#include "server/request_log.h"
#include "server/shared_catalog.h"

namespace kx::server {

struct CallContext {
    // The business-object path the call was posted to ("/" for the base service).
    std::string busObjPath;
    // The base URL the server serves at, for rendering BusObjURL values.
    std::string baseUrl;
    std::string clientAddress;
    std::int64_t now = 0;  // seconds since 1970
    // Set: a call that carries a password fails its login at once, without a check (a guess
    // the password checks did not admit).
    bool refuseLogin = false;
};

struct CallServices {
    SharedCatalog& catalog;
    PasswordChecks& passwords;
    RequestLog& log;
};

// Runs one call and returns its result value (a string, a Boolean or null). Throws RemoteError
// for a path where nothing is published, an unknown object or method (404), wrong arguments
// (400), a bad or expired token and a group the token does not cover (403), an unknown group
// (404); CatalogError (CatalogBusy included) when the catalog fails.
nlohmann::json runRemoteCall(const CallServices& services, const RemoteCall& call,
                             const CallContext& context);

// The login a call attempts with its password (isValidLogin, LoginUser), when it is such a call
// and its first three arguments are text; nullopt otherwise.
std::optional<LoginAttempt> loginAttemptOf(const RemoteCall& call,
                                           const std::string& clientAddress);

}  // namespace kx::server
