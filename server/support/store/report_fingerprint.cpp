#include "server/support/store/report_fingerprint.h"

#include <array>

#include "platform/files/sha256_file.h"
#include "platform/text/ascii_text.h"

namespace kx::server::support {

namespace {

bool isHexDigit(char c) {
    return ascii::isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isWordChar(char c) {
    return ascii::isLetter(c) || ascii::isDigit(c) || c == '_';
}

bool isQuote(char c) {
    return c == '"' || c == '\'';
}

// What may stand right before a path: its start is a word of its own.
bool mayPrecedePath(char c) {
    return ascii::isWhitespace(c) || isQuote(c) || c == '(' || c == '[' || c == '{' || c == '<' ||
           c == '=' || c == ',' || c == ';' || c == ':';
}

bool endsUnquotedPath(char c) {
    return ascii::isWhitespace(c) || isQuote(c) || c == '<' || c == '>' || c == '|' || c == ',' ||
           c == ';' || c == ')' || c == ']';
}

// A word that begins as paths do: "/x", "./", "../", "~/", "\\server", "C:\" or "C:/".
bool startsLikePath(std::string_view word) {
    const auto at = [&](std::size_t i) { return i < word.size() ? word[i] : '\0'; };
    const bool drive = ascii::isLetter(at(0)) && at(1) == ':' && (at(2) == '\\' || at(2) == '/');
    return (at(0) == '/' && word.size() > 1) || word.starts_with("./") || word.starts_with("../") ||
           word.starts_with("~/") || word.starts_with("\\\\") || drive;
}

bool looksLikePath(std::string_view word) {
    return startsLikePath(word) || word.find('\\') != std::string_view::npos;
}

// The length of a GUID (in braces or bare) at `i`; 0 when there is none.
std::size_t guidLength(std::string_view s, std::size_t i) {
    static constexpr std::array<std::size_t, 5> kGroups = {8, 4, 4, 4, 12};
    const bool braced = s[i] == '{';
    std::size_t at = i + (braced ? 1 : 0);
    for (std::size_t group = 0; group < kGroups.size(); ++group) {
        if (group > 0) {
            if (at >= s.size() || s[at] != '-') {
                return 0;
            }
            ++at;
        }
        for (std::size_t k = 0; k < kGroups[group]; ++k, ++at) {
            if (at >= s.size() || !isHexDigit(s[at])) {
                return 0;
            }
        }
    }
    if (braced) {
        if (at >= s.size() || s[at] != '}') {
            return 0;
        }
        ++at;
    }
    return at < s.size() && isWordChar(s[at]) ? 0 : at - i;
}

// The length of a hexadecimal number at `i` ("0x1F", "&H1F", or a bare run of at least eight
// digits with a decimal digit and a letter among them); 0 when there is none.
std::size_t hexLength(std::string_view s, std::size_t i) {
    const auto runFrom = [&](std::size_t from) {
        std::size_t end = from;
        while (end < s.size() && isHexDigit(s[end])) {
            ++end;
        }
        return end - from;
    };
    const bool prefixed =
        i + 1 < s.size() && ((s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) ||
                             (s[i] == '&' && (s[i + 1] == 'H' || s[i + 1] == 'h')));
    if (prefixed) {
        const std::size_t digits = runFrom(i + 2);
        return digits > 0 ? digits + 2 : 0;
    }
    const std::size_t length = runFrom(i);
    const std::string_view run = s.substr(i, length);
    const bool hasDigit = run.find_first_of("0123456789") != std::string_view::npos;
    const bool hasLetter = run.find_first_not_of("0123456789") != std::string_view::npos;
    const bool wordEnds = i + length >= s.size() || !isWordChar(s[i + length]);
    return length >= 8 && hasDigit && hasLetter && wordEnds ? length : 0;
}

// The length of a decimal number at `i`: digits, with single "." or "," between digits.
std::size_t numberLength(std::string_view s, std::size_t i) {
    std::size_t end = i;
    while (end < s.size() &&
           (ascii::isDigit(s[end]) || ((s[end] == '.' || s[end] == ',') && end > i &&
                                       end + 1 < s.size() && ascii::isDigit(s[end + 1])))) {
        ++end;
    }
    return end - i;
}

// The length of the path at `i` and whether it was quoted; 0 when no path starts there. After a
// quote a path with blanks runs up to the closing quote (or the line's end); an apostrophe of
// prose ("can't open C:\x") starts none.
std::pair<std::size_t, bool> pathLength(std::string_view s, std::size_t i) {
    if (i > 0 && isQuote(s[i - 1])) {
        std::size_t end = i;
        while (end < s.size() && s[end] != s[i - 1] && s[end] != '\r' && s[end] != '\n') {
            ++end;
        }
        const std::string_view quoted = s.substr(i, end - i);
        const bool blanks = quoted.find(' ') != std::string_view::npos;
        if (startsLikePath(quoted) || (!blanks && looksLikePath(quoted))) {
            return {end - i, true};
        }
    }
    std::size_t end = i;
    while (end < s.size() && !endsUnquotedPath(s[end])) {
        ++end;
    }
    // A sentence that ends with a path keeps its full stop.
    while (end > i && (s[end - 1] == '.' || s[end - 1] == ':')) {
        --end;
    }
    return {looksLikePath(s.substr(i, end - i)) ? end - i : 0, false};
}

}  // namespace

std::string normalisedDescription(std::string_view description) {
    const std::string_view s = description.substr(0, kDescriptionPrefix);
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        if (ascii::isWhitespace(s[i])) {
            while (i < s.size() && ascii::isWhitespace(s[i])) {
                ++i;
            }
            out += out.empty() || i == s.size() ? "" : " ";
            continue;
        }
        const bool wordStart = i == 0 || !isWordChar(s[i - 1]);
        if (wordStart && (i == 0 || mayPrecedePath(s[i - 1]))) {
            if (const auto [length, quoted] = pathLength(s, i); length > 0) {
                // A path with blanks, unquoted, reads as several: they stand for one.
                if (!quoted && out.ends_with("<path> ")) {
                    out.pop_back();
                } else {
                    out += "<path>";
                }
                i += length;
                continue;
            }
        }
        std::size_t length = 0;
        const char* placeholder = nullptr;
        if (wordStart && (length = guidLength(s, i)) > 0) {
            placeholder = "<guid>";
        } else if (wordStart && (length = hexLength(s, i)) > 0) {
            placeholder = "<hex>";
        } else if (wordStart && ascii::isDigit(s[i])) {
            length = numberLength(s, i);
            placeholder = "<n>";
        }
        if (placeholder != nullptr) {
            out += placeholder;
            i += length;
        } else {
            out += s[i++];
        }
    }
    return out;
}

std::string reportFingerprint(const ReportFields& fields) {
    files::Sha256 digest;
    // Each part with its length first, so that no two different reports hash the same text.
    const auto add = [&](std::string_view part) {
        const std::string length = std::to_string(part.size()) + ":";
        digest.update(length.data(), length.size());
        digest.update(part.data(), part.size());
    };
    add("report group");
    add(std::to_string(kGroupingRules));
    for (const char* name : {"ProjectName", "ErrorNumber", "Module", "Routine", "LineNumber"}) {
        add(ascii::trimWhitespace(fieldValue(fields, name)));
    }
    add(normalisedDescription(fieldValue(fields, "ErrorDescription")));
    return digest.finishHex();
}

}  // namespace kx::server::support
