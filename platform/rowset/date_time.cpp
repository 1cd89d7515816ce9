#include "date_time.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace kx::rowset {

namespace {

constexpr std::int64_t kMillisecondsPerDay = 86'400'000;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0));
}

const std::int64_t kOleEpochDays = daysFromCivil(1899, 12, 30);

bool isLeapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeapYear(y) ? 29 : kDays[m - 1];
}

// A small cursor over the text for the fixed-layout date grammars.
struct Cursor {
    std::string_view text;
    std::size_t pos = 0;

    bool atEnd() const { return pos >= text.size(); }
    bool take(char c) {
        if (!atEnd() && text[pos] == c) {
            ++pos;
            return true;
        }
        return false;
    }
    // Reads between minDigits and maxDigits decimal digits.
    std::optional<int> digits(std::size_t minDigits, std::size_t maxDigits) {
        std::size_t end = pos;
        while (end < text.size() && end - pos < maxDigits && text[end] >= '0' && text[end] <= '9') {
            ++end;
        }
        if (end - pos < minDigits) {
            return std::nullopt;
        }
        int value = 0;
        std::from_chars(text.data() + pos, text.data() + end, value);
        pos = end;
        return value;
    }
    void skipBlanks() {
        while (!atEnd() && text[pos] == ' ') {
            ++pos;
        }
    }
};

// hh:mm[:ss[.fff...]] into parts; fractions beyond milliseconds are rounded down.
bool parseClock(Cursor& c, DateTimeParts& parts, bool allowFraction) {
    auto hour = c.digits(1, 2);
    if (!hour || !c.take(':')) {
        return false;
    }
    auto minute = c.digits(2, 2);
    if (!minute) {
        return false;
    }
    parts.hour = *hour;
    parts.minute = *minute;
    if (c.take(':')) {
        auto second = c.digits(2, 2);
        if (!second) {
            return false;
        }
        parts.second = *second;
        if (allowFraction && c.take('.')) {
            const std::size_t start = c.pos;
            auto fraction = c.digits(1, 9);
            if (!fraction) {
                return false;
            }
            std::size_t count = c.pos - start;
            int ms = *fraction;
            for (; count > 3; --count) {
                ms /= 10;
            }
            for (; count < 3; ++count) {
                ms *= 10;
            }
            parts.millisecond = ms;
        }
    }
    return true;
}

bool parseZone(Cursor& c) {
    if (c.take('Z')) {
        return true;
    }
    if (c.take('+') || c.take('-')) {
        auto hours = c.digits(2, 2);
        return hours && *hours <= 14 && c.take(':') && c.digits(2, 2).has_value();
    }
    return true;
}

std::optional<OleDate> parseUsDate(std::string_view text) {
    Cursor c{text};
    DateTimeParts parts;
    auto month = c.digits(1, 2);
    if (!month || !c.take('/')) {
        return std::nullopt;
    }
    auto day = c.digits(1, 2);
    if (!day || !c.take('/')) {
        return std::nullopt;
    }
    const std::size_t yearStart = c.pos;
    auto year = c.digits(2, 4);
    if (!year || c.pos - yearStart == 3) {
        return std::nullopt;
    }
    if (c.pos - yearStart == 2) {
        *year += *year < 30 ? 2000 : 1900;
    }
    parts.year = *year;
    parts.month = *month;
    parts.day = *day;
    c.skipBlanks();
    if (!c.atEnd()) {
        if (!parseClock(c, parts, false)) {
            return std::nullopt;
        }
        c.skipBlanks();
        const std::string_view rest = text.substr(c.pos);
        const bool pm = rest == "PM" || rest == "pm";
        const bool am = rest == "AM" || rest == "am";
        if (pm || am) {
            if (parts.hour < 1 || parts.hour > 12) {
                return std::nullopt;
            }
            parts.hour = parts.hour % 12 + (pm ? 12 : 0);
            c.pos = text.size();
        }
    }
    if (!c.atEnd()) {
        return std::nullopt;
    }
    return oleDateFromParts(parts);
}

}  // namespace

std::optional<OleDate> oleDateFromParts(const DateTimeParts& p) {
    if (p.year < 100 || p.year > 9999 || p.month < 1 || p.month > 12 || p.day < 1 ||
        p.day > daysInMonth(p.year, p.month) || p.hour < 0 || p.hour > 23 || p.minute < 0 ||
        p.minute > 59 || p.second < 0 || p.second > 59 || p.millisecond < 0 ||
        p.millisecond > 999) {
        return std::nullopt;
    }
    const std::int64_t offset =
        daysFromCivil(p.year, static_cast<unsigned>(p.month), static_cast<unsigned>(p.day)) -
        kOleEpochDays;
    const std::int64_t ms =
        ((p.hour * 60 + p.minute) * 60 + p.second) * std::int64_t{1000} + p.millisecond;
    const double fraction = static_cast<double>(ms) / static_cast<double>(kMillisecondsPerDay);
    // Before the epoch the whole part counts backwards but the time of day still forwards.
    const double whole = static_cast<double>(offset);
    return OleDate{offset < 0 ? whole - fraction : whole + fraction};
}

std::optional<DateTimeParts> partsFromOleDate(OleDate date) {
    if (!std::isfinite(date.serial) || std::fabs(date.serial) > 3'000'000.0) {
        return std::nullopt;
    }
    const double whole = std::trunc(date.serial);
    auto offset = static_cast<std::int64_t>(whole);
    auto ms = static_cast<std::int64_t>(
        std::llround(std::fabs(date.serial - whole) * static_cast<double>(kMillisecondsPerDay)));
    if (ms >= kMillisecondsPerDay) {
        ms = 0;
        offset += 1;
    }
    DateTimeParts parts;
    civilFromDays(offset + kOleEpochDays, parts.year, parts.month, parts.day);
    if (parts.year < 100 || parts.year > 9999) {
        return std::nullopt;
    }
    parts.millisecond = static_cast<int>(ms % 1000);
    parts.second = static_cast<int>(ms / 1000 % 60);
    parts.minute = static_cast<int>(ms / 60'000 % 60);
    parts.hour = static_cast<int>(ms / 3'600'000);
    return parts;
}

std::optional<OleDate> parseXdrDateTime(std::string_view text) {
    Cursor c{text};
    DateTimeParts parts;
    auto year = c.digits(4, 4);
    if (!year || !c.take('-')) {
        return std::nullopt;
    }
    auto month = c.digits(2, 2);
    if (!month || !c.take('-')) {
        return std::nullopt;
    }
    auto day = c.digits(2, 2);
    if (!day) {
        return std::nullopt;
    }
    parts.year = *year;
    parts.month = *month;
    parts.day = *day;
    if (c.take('T') || c.take(' ')) {
        if (!parseClock(c, parts, true)) {
            return std::nullopt;
        }
    }
    if (!parseZone(c) || !c.atEnd()) {
        return std::nullopt;
    }
    return oleDateFromParts(parts);
}

std::optional<std::string> formatXdrDateTime(OleDate date) {
    auto parts = partsFromOleDate(date);
    if (!parts) {
        return std::nullopt;
    }
    char buffer[32];
    int length = std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d", parts->year,
                               parts->month, parts->day, parts->hour, parts->minute, parts->second);
    if (parts->millisecond != 0) {
        length += std::snprintf(buffer + length, sizeof buffer - static_cast<std::size_t>(length),
                                ".%03d", parts->millisecond);
    }
    return std::string(buffer, static_cast<std::size_t>(length));
}

std::optional<OleDate> parseDateText(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    if (auto iso = parseXdrDateTime(text)) {
        return iso;
    }
    return parseUsDate(text);
}

}  // namespace kx::rowset
