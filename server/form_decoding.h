#pragma once
// Percent-decoding: of an application/x-www-form-urlencoded body into its fields, in arrival
// order, and of a request path.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kx::server {

// The fields of a form in arrival order, names and values decoded.
using FormFields = std::vector<std::pair<std::string, std::string>>;

// Splits at "&", each pair at its first "="; "+" stands for a blank and "%XX" for a byte. A "%"
// not followed by two hex digits is kept as it stands; empty pairs are skipped. Throws
// std::invalid_argument when the body holds more than `maxFields` fields.
FormFields decodeFormBody(std::string_view body, std::size_t maxFields = 1000);

// Decodes one form component ("+" and "%XX" as above).
std::string decodeFormComponent(std::string_view text);

// Decodes the "%XX" escapes of a request path; "+" stays as it is.
std::string decodePath(std::string_view text);

}  // namespace kx::server
