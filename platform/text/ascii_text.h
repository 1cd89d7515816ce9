#pragma once
// ASCII character classes, case and trimming for protocol and file-format text: header names,
// verbs, keywords, digits of numbers and dates. Bytes outside ASCII are never letters, digits or
// blanks and keep their case, whatever locale the process runs in (std::tolower and friends
// follow the locale, which a Qt program sets from the environment).

#include <cstddef>
#include <string>
#include <string_view>

namespace kx::ascii {

// Space or tab.
constexpr bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Space, tab, carriage return or line feed.
constexpr bool isWhitespace(char c) {
    return isBlank(c) || c == '\r' || c == '\n';
}

// The position of the first character at or after `at` that is not a blank.
constexpr std::size_t skipBlanks(std::string_view text, std::size_t at) {
    while (at < text.size() && isBlank(text[at])) {
        ++at;
    }
    return at;
}

constexpr bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

constexpr bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

constexpr char toLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char toUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string lowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = toLower(c);
    }
    return out;
}

inline std::string upperCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = toUpper(c);
    }
    return out;
}

constexpr bool equalsNoCase(char a, char b) {
    return toLower(a) == toLower(b);
}

constexpr bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!equalsNoCase(a[i], b[i])) {
            return false;
        }
    }
    return true;
}

constexpr bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsNoCase(text.substr(0, prefix.size()), prefix);
}

// `text` without the characters of a class at either end.
template <typename CharClass>
constexpr std::string_view trimmed(std::string_view text, CharClass inClass) {
    while (!text.empty() && inClass(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && inClass(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// `text` without the spaces (not tabs) at either end.
constexpr std::string_view trimSpaces(std::string_view text) {
    return trimmed(text, [](char c) { return c == ' '; });
}

// `text` without the blanks (spaces and tabs) at either end.
constexpr std::string_view trimBlanks(std::string_view text) {
    return trimmed(text, isBlank);
}

// `text` without the whitespace (also line breaks) at either end.
constexpr std::string_view trimWhitespace(std::string_view text) {
    return trimmed(text, isWhitespace);
}

}  // namespace kx::ascii
