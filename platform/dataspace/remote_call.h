#pragma once
// The bytes of one remote call and the reading of its answer, apart from the transport, so that
// both can be tested and fuzzed on their own. The wire format is described in data_space.h.

#include <string>
#include <string_view>
#include <vector>

#include "platform/runtime/variant.h"

namespace kx::dataspace {

// The JSON request document. Raises error 13 for an argument of a kind the wire cannot carry
// (objects, arrays, dates, ...) and error 5 for a string that is not valid UTF-8 or a number
// that is not finite; the description names the argument by position, never its value.
std::string buildCallRequest(std::string_view progId, std::string_view method,
                             const std::vector<Variant>& args);

// What came back from the server.
struct CallAnswer {
    long httpStatus = 0;
    std::string body;
};

// The result of the call, or a raised RuntimeError: the server's own error (its number and
// description, source `progId`), errors::kHttpStatus for an error status without an error
// document, errors::kMalformedAnswer for anything else that is not a valid answer. `url` only
// names the server in descriptions.
Variant interpretCallAnswer(const CallAnswer& answer, std::string_view url,
                            std::string_view progId);

}  // namespace kx::dataspace
