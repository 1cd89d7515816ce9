#pragma once
// Reading the server's status line and judging it against a required-status pattern.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kx::errhandler {

struct StatusLine {
    std::int32_t code = 0;
    std::string text;  // the reason phrase, trimmed of surrounding spaces
};

// The longest reason phrase kept; longer phrases are cut to this many bytes.
inline constexpr std::size_t kMaxStatusTextLength = 1023;

// Parses "HTTP/<version> <3 digits>[ <reason>]" with or without the line break. The reason phrase
// is kept as the server wrote it, trimmed of spaces, with control characters other than tab
// removed. Returns nothing for any other line (a header, garbage, a code that is not 3 digits).
std::optional<StatusLine> parseStatusLine(std::string_view line);

// The old runtime's pattern match on a status code's decimal text: "*" matches any run of
// characters, "?" one character, "#" one digit, every other character itself (case-sensitive).
// An empty pattern matches only empty text, so it never accepts a status code.
bool matchesStatusPattern(std::string_view text, std::string_view pattern);

}  // namespace kx::errhandler
