#pragma once
// The business objects "KXBO_V2.Init" and "KXBOGeneral_V3.Init" and their seven calls, on top of
// the catalog. Transport-free: the HTTP server hands in the parsed call and where it arrived.

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "call_arguments.h"
#include "catalog.h"

namespace kx::server {

struct CallContext {
    // The business-object path the call was posted to ("/" for the base service).
    std::string busObjPath;
    // The base URL the server serves at, for rendering BusObjURL values.
    std::string baseUrl;
    std::string clientAddress;
    std::int64_t now = 0;  // seconds since 1970
};

// Runs one call and returns its result value (a string, a Boolean or null). Throws RemoteError
// for an unknown object or method (404), wrong arguments (400), a bad or expired token and a
// group the token does not cover (403), an unknown group (404).
nlohmann::json runRemoteCall(Catalog& catalog, const RemoteCall& call, const CallContext& context);

}  // namespace kx::server
