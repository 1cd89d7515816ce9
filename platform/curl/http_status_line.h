#pragma once
// Reading an HTTP status line: the one reader of both transfer engines (the download control's
// and the error library's), so that they agree on what a status is.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kx::curl {

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

// The status code of the first line of a header block ("HTTP/1.1 404 Not Found\r\n..." gives
// 404); 0 when that line is no status line.
std::int32_t statusCodeOf(std::string_view headers);

}  // namespace kx::curl
