#pragma once
// Reading the arguments of a remote call. Arguments arrive as a JSON array of strings, Booleans,
// numbers and nulls; each reader checks the kind and throws RemoteError (HTTP 400) with the
// argument's position and name when it does not fit.

#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "server/remote_error.h"

namespace kx::server {

struct RemoteCall {
    std::string progId;
    std::string method;
    nlohmann::json args;  // always an array
};

// Arrays and objects inside each other deeper than this are refused before any is built: a call
// needs two levels, and every level costs far more memory than its one byte of text.
inline constexpr int kMaxJsonNesting = 32;

// Parses a request body {"progid":..., "method":..., "args":[...]}; throws RemoteError 400 for
// malformed JSON, nesting deeper than kMaxJsonNesting or a body of another shape. Extra members
// are ignored.
RemoteCall parseRemoteCall(std::string_view body);

// Throws RemoteError (450) unless the call has exactly `count` arguments.
void expectArgumentCount(const RemoteCall& call, std::size_t count);

// A text argument; numbers are not converted, so that a confused client gets a clear error.
std::string textArgument(const RemoteCall& call, std::size_t index, const char* name);
// A Boolean argument: true/false, or a number (non-zero is true, as the old runtime's True is -1).
bool flagArgument(const RemoteCall& call, std::size_t index, const char* name);
// An install-group id: a whole number, or text of digits with optional surrounding blanks;
// null, "" and 0 mean "no group" and give 0.
std::int64_t groupIdArgument(const RemoteCall& call, std::size_t index, const char* name);

}  // namespace kx::server
