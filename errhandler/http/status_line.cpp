#include "status_line.h"

#include "ascii_text.h"

namespace kx::errhandler {
namespace {

using ascii::isDigit;

bool matchesOne(char textChar, char patternChar) {
    return patternChar == '?' || (patternChar == '#' ? isDigit(textChar) : patternChar == textChar);
}

}  // namespace

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
    if (!isDigit(digits[0]) || !isDigit(digits[1]) || !isDigit(digits[2])) {
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

bool matchesStatusPattern(std::string_view text, std::string_view pattern) {
    // Greedy match with one backtracking point (the last "*"): linear in practice and never
    // exponential, whatever the pattern.
    std::size_t t = 0;
    std::size_t p = 0;
    std::size_t starPattern = std::string_view::npos;
    std::size_t starText = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starPattern = p++;
            starText = t;
        } else if (p < pattern.size() && matchesOne(text[t], pattern[p])) {
            ++t;
            ++p;
        } else if (starPattern != std::string_view::npos) {
            p = starPattern + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

}  // namespace kx::errhandler
