#pragma once
// Judging a status code against a required-status pattern.

#include <string_view>

namespace kx::errhandler {

// The old runtime's pattern match on a status code's decimal text: "*" matches any run of
// characters, "?" one character, "#" one digit, every other character itself (case-sensitive).
// An empty pattern matches only empty text, so it never accepts a status code.
bool matchesStatusPattern(std::string_view text, std::string_view pattern);

}  // namespace kx::errhandler
