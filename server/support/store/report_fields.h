#pragma once
// The fields of an error report: what a sender posted (names and values in arrival order, a name
// possibly more than once) and their stored form in the catalog, a JSON list of [name, value]
// pairs.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kx::server::support {

using ReportFields = std::vector<std::pair<std::string, std::string>>;

// The stored form of `fields`. Text that is not valid UTF-8 has the bad bytes replaced, so that a
// report is kept rather than lost.
std::string storedFieldsText(const ReportFields& fields);

// The fields of a stored text; what is not a list of [text, text] pairs is left out.
ReportFields storedFields(std::string_view text);

// The value of the field `name`: every value it was sent with, joined by a line break, in order;
// "" when it was not sent.
std::string fieldValue(const ReportFields& fields, std::string_view name);

// Each name once, in the order of its first arrival, with the value fieldValue() gives.
ReportFields mergedFields(const ReportFields& fields);

// The longest start of UTF-8 `text` of at most `maxBytes` bytes that does not cut a character.
std::string_view utf8Prefix(std::string_view text, std::size_t maxBytes);

}  // namespace kx::server::support
