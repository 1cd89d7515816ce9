#include "launcher/update/download_rules.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

#include "platform/text/ascii_text.h"

namespace kx::launcher {

namespace {

// A run of decimal digits that fits, and nothing else.
std::optional<std::int64_t> wholeNumber(std::string_view digits) {
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || !ascii::isDigit(digits.front()) || ec != std::errc() ||
        end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return value;
}

// "Sun, 06 Nov 1994 08:49:37 GMT" as seconds since 1970.
std::optional<std::time_t> imfFixdate(std::string_view text) {
    static constexpr std::array<std::string_view, 12> kMonths = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (text.size() != 29 || text.substr(3, 2) != ", " || text[7] != ' ' || text[11] != ' ' ||
        text[16] != ' ' || text[19] != ':' || text[22] != ':' || text.substr(25) != " GMT") {
        return std::nullopt;
    }
    const auto month = std::find(kMonths.begin(), kMonths.end(), text.substr(8, 3));
    const auto day = wholeNumber(text.substr(5, 2));
    const auto year = wholeNumber(text.substr(12, 4));
    const auto hour = wholeNumber(text.substr(17, 2));
    const auto minute = wholeNumber(text.substr(20, 2));
    const auto second = wholeNumber(text.substr(23, 2));
    if (month == kMonths.end() || !day || !year || !hour || !minute || !second || *day < 1 ||
        *day > 31 || *hour > 23 || *minute > 59 || *second > 60) {
        return std::nullopt;
    }
    std::tm parts{};
    parts.tm_year = static_cast<int>(*year) - 1900;
    parts.tm_mon = static_cast<int>(month - kMonths.begin());
    parts.tm_mday = static_cast<int>(*day);
    parts.tm_hour = static_cast<int>(*hour);
    parts.tm_min = static_cast<int>(*minute);
    parts.tm_sec = static_cast<int>(*second);
    return ::timegm(&parts);
}

}  // namespace

bool isTransientStatus(std::int32_t status) {
    return status == 408 || status == 429 || (status >= 500 && status <= 599);
}

std::optional<std::chrono::seconds> retryAfterOf(const std::string& value, std::time_t now) {
    const std::string_view text = ascii::trimBlanks(value);
    if (const auto seconds = wholeNumber(text)) {
        return std::chrono::seconds(*seconds);
    }
    if (const auto date = imfFixdate(text)) {
        return std::chrono::seconds(std::max<std::time_t>(*date - now, 0));
    }
    return std::nullopt;
}

std::chrono::milliseconds retryWait(int failures, std::chrono::milliseconds firstWait,
                                    std::optional<std::chrono::seconds> serverWish) {
    const std::chrono::milliseconds longest = kLongestRetryWait;
    if (serverWish) {
        return std::min<std::chrono::milliseconds>(*serverWish, longest);
    }
    const int doublings = std::clamp(failures - 1, 0, 16);
    return std::min(firstWait * (1 << doublings), longest);
}

std::string resumeValidatorOf(const std::string& etag, const std::string& lastModified) {
    const auto sendable = [](std::string_view text) {
        return !text.empty() && text.size() <= 1024 &&
               std::all_of(text.begin(), text.end(), [](char c) {
                   return static_cast<unsigned char>(c) >= 0x20 && c != 0x7F;
               });
    };
    const std::string_view tag = ascii::trimBlanks(etag);
    if (tag.size() >= 2 && tag.front() == '"' && tag.back() == '"' && sendable(tag)) {
        return std::string(tag);
    }
    const std::string_view date = ascii::trimBlanks(lastModified);
    return sendable(date) ? std::string(date) : std::string();
}

std::optional<ContentRange> contentRangeOf(const std::string& value) {
    std::string_view text = ascii::trimBlanks(value);
    if (!ascii::startsWithNoCase(text, "bytes ")) {
        return std::nullopt;
    }
    text.remove_prefix(6);
    const std::size_t dash = text.find('-');
    const std::size_t slash = text.find('/');
    if (dash == std::string_view::npos || slash == std::string_view::npos || slash < dash) {
        return std::nullopt;
    }
    const auto first = wholeNumber(text.substr(0, dash));
    const auto last = wholeNumber(text.substr(dash + 1, slash - dash - 1));
    const auto total = wholeNumber(text.substr(slash + 1));
    if (!first || !last || !total || *first > *last || *last >= *total) {
        return std::nullopt;
    }
    return ContentRange{*first, *last, *total};
}

}  // namespace kx::launcher
