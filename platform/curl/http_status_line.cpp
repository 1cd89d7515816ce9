#include "platform/curl/http_status_line.h"

#include "platform/text/ascii_text.h"

namespace kx::curl {

std::optional<StatusLine> parseStatusLine(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    if (!line.starts_with("HTTP/")) {
        return std::nullopt;
    }
    const auto space = line.find(' ');
    if (space == std::string_view::npos || line.size() < space + 4) {
        return std::nullopt;
    }
    const std::string_view digits = line.substr(space + 1, 3);
    if (!ascii::isDigit(digits[0]) || !ascii::isDigit(digits[1]) || !ascii::isDigit(digits[2])) {
        return std::nullopt;
    }
    std::string_view reason = line.substr(space + 4);
    if (!reason.empty() && reason.front() != ' ') {
        return std::nullopt;  // a fourth digit or other junk glued to the code
    }
    StatusLine status;
    status.code = (digits[0] - '0') * 100 + (digits[1] - '0') * 10 + (digits[2] - '0');
    for (const char c : ascii::trimSpaces(reason)) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 0x20 && byte != 0x7F) || c == '\t') {
            status.text += c;
        }
    }
    if (status.text.size() > kMaxStatusTextLength) {
        status.text.resize(kMaxStatusTextLength);
    }
    status.text = std::string(ascii::trimSpaces(status.text));
    return status;
}

std::int32_t statusCodeOf(std::string_view headers) {
    const auto status = parseStatusLine(headers.substr(0, headers.find('\n')));
    return status ? status->code : 0;
}

}  // namespace kx::curl
