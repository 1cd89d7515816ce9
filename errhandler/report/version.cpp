#include "errhandler/report/version.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "platform/text/ascii_text.h"
#include "platform/version/file_version.h"

namespace kx::errhandler {

namespace {

constexpr std::uint64_t kPartLimit = std::numeric_limits<std::uint32_t>::max();

// Digits only, saturating; nullopt for anything else (an empty text reads as 0).
std::optional<std::uint64_t> digitsValue(std::string_view text, std::uint64_t limit) {
    std::uint64_t value = 0;
    for (const char c : text) {
        if (!ascii::isDigit(c)) {
            return std::nullopt;
        }
        value = std::min(limit, value * 10 + static_cast<std::uint64_t>(c - '0'));
    }
    return value;
}

std::string normalizedVersionText(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == ',') {
            out += '.';
        } else if (!ascii::isBlank(c)) {
            out += c;
        }
    }
    return out;
}

}  // namespace

std::string GetWindowsVersion(const sys::OsInfoSources& sources) {
    return sys::operatingSystemName(sources) + " (" + sys::kernelRelease(sources) + ")";
}

bool IsWindowsNT() {
    return true;
}

std::string GetShortPath(const std::string& path) {
    return path;
}

std::string GetFileVersion(const std::string& path) {
    return version::fileVersion(GetShortPath(path));
}

VersionKey versionKey(std::string_view text) {
    const std::string normal = normalizedVersionText(text);
    if (normal.find('.') == std::string::npos) {
        // Up to 10^16 keeps every part exact when the number is split back into four.
        const auto number = digitsValue(normal, 9'999'999'999'999'999ULL);
        if (!number) {
            return {};
        }
        return {*number / 1'000'000'000'000ULL, *number / 100'000'000ULL % 10'000,
                *number / 10'000 % 10'000, *number % 10'000};
    }
    if (!std::all_of(normal.begin(), normal.end(),
                     [](char c) { return c == '.' || ascii::isDigit(c); })) {
        return {};
    }
    VersionKey key{};
    std::string_view rest = normal;
    for (std::size_t part = 0; part < 4; ++part) {
        const auto dot = part < 3 ? rest.find('.') : std::string_view::npos;
        const std::string_view piece = rest.substr(0, dot);
        // After the third "." the rest may hold more dots ("1.2.3.4.5"): not a number, so 0.
        key[part] = digitsValue(piece, kPartLimit).value_or(0);
        if (dot == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(dot + 1);
    }
    return key;
}

double VersionToNumber(std::string_view text) {
    const VersionKey key = versionKey(text);
    return static_cast<double>(key[0]) * 1e12 + static_cast<double>(key[1]) * 1e8 +
           static_cast<double>(key[2]) * 1e4 + static_cast<double>(key[3]);
}

bool IsOlderVersion(std::string_view actual, std::string_view expected) {
    return versionKey(actual) < versionKey(expected);
}

}  // namespace kx::errhandler
