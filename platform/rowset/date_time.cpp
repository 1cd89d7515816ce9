#include "date_time.h"

#include <charconv>
#include <cstdio>

#include "vb_date.h"

namespace kx::rowset {

namespace {

// A small cursor over the text for the fixed-layout US literal.
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

// h:mm[:ss] into parts.
bool parseClock(Cursor& c, DateParts& parts) {
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
    }
    return true;
}

std::optional<OleDate> parseUsDate(std::string_view text) {
    Cursor c{text};
    DateParts parts;
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
        if (!parseClock(c, parts)) {
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
    return dateFromParts(parts);
}

}  // namespace

std::optional<std::string> formatXdrDateTime(OleDate date) {
    auto parts = partsOfDateToMillisecond(date);
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

std::optional<OleDate> parseDateLiteral(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    if (auto iso = parseIsoDateTime(text)) {
        return iso;
    }
    return parseUsDate(text);
}

}  // namespace kx::rowset
