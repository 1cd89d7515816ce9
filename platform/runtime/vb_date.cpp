#include "platform/runtime/vb_date.h"

#include <cmath>
#include <cstdint>

#include "platform/runtime/run_time_error.h"

namespace kx {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int64_t kMillisecondsPerDay = kSecondsPerDay * 1000;
// Day numbers relative to 30 December 1899 of the first and last valid days.
constexpr std::int64_t kFirstValidDay = -657434;  // 0100-01-01
constexpr std::int64_t kLastValidDay = 2958465;   // 9999-12-31

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's days_from_civil).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

struct CivilDate {
    std::int64_t year;
    unsigned month;
    unsigned day;
};

// The inverse of daysFromCivil.
CivilDate civilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2 ? 1 : 0), m, d};
}

const std::int64_t kEpochOffset = daysFromCivil(1899, 12, 30);

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

// The moment of a serial as days on a straight time line: the day part plus the time fraction
// counted forward, so -1.25 (29 Dec 1899 06:00) becomes -0.75.
double timeLine(OleDate date) {
    const double day = std::trunc(date.serial);
    return day + std::fabs(date.serial - day);
}

// The serial of a moment given as a day number and a time fraction: before day 0 the fraction
// still counts forward from midnight, so it is subtracted from the negative day number.
OleDate serialOf(double day, double time) {
    return OleDate{day < 0 ? day - time : day + time};
}

// The moment in whole ticks (`ticksPerDay` to a day) since 30 December 1899, rounded to the
// nearest tick, or nothing outside the valid range.
std::optional<std::int64_t> ticksOf(OleDate date, std::int64_t ticksPerDay) {
    if (!std::isfinite(date.serial) || date.serial < static_cast<double>(kFirstValidDay) - 1 ||
        date.serial > static_cast<double>(kLastValidDay) + 1) {
        return std::nullopt;
    }
    const double day = std::trunc(date.serial);
    const auto ticks =
        static_cast<std::int64_t>(day) * ticksPerDay +
        std::llround(std::fabs(date.serial - day) * static_cast<double>(ticksPerDay));
    if (ticks < kFirstValidDay * ticksPerDay || ticks >= (kLastValidDay + 1) * ticksPerDay) {
        return std::nullopt;
    }
    return ticks;
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

// The calendar parts of a moment given in milliseconds since 30 December 1899.
DateParts partsOfMilliseconds(std::int64_t milliseconds) {
    const std::int64_t day = floorDiv(milliseconds, kMillisecondsPerDay);
    const std::int64_t msOfDay = milliseconds - day * kMillisecondsPerDay;
    const CivilDate civil = civilFromDays(day + kEpochOffset);
    return {static_cast<int>(civil.year),
            static_cast<int>(civil.month),
            static_cast<int>(civil.day),
            static_cast<int>(msOfDay / 3'600'000),
            static_cast<int>(msOfDay / 60'000 % 60),
            static_cast<int>(msOfDay / 1000 % 60),
            static_cast<int>(msOfDay % 1000)};
}

}  // namespace

std::optional<OleDate> dateFromParts(const DateParts& p) {
    if (p.year < 100 || p.year > 9999 || p.month < 1 || p.month > 12 || p.day < 1 ||
        p.day > daysInMonth(p.year, p.month) || p.hour < 0 || p.hour > 23 || p.minute < 0 ||
        p.minute > 59 || p.second < 0 || p.second > 59 || p.millisecond < 0 ||
        p.millisecond > 999) {
        return std::nullopt;
    }
    const auto day = static_cast<double>(
        daysFromCivil(p.year, static_cast<unsigned>(p.month), static_cast<unsigned>(p.day)) -
        kEpochOffset);
    const std::int64_t ms =
        (p.hour * 3600 + p.minute * 60 + p.second) * std::int64_t{1000} + p.millisecond;
    const double time = static_cast<double>(ms) / static_cast<double>(kMillisecondsPerDay);
    return serialOf(day, time);
}

DateParts partsOfDate(OleDate date) {
    const auto seconds = ticksOf(date, kSecondsPerDay);
    if (!seconds) {
        raiseError(vberr::kInvalidProcedureCall);
    }
    return partsOfMilliseconds(*seconds * 1000);
}

std::optional<DateParts> partsOfDateToMillisecond(OleDate date) {
    const auto milliseconds = ticksOf(date, kMillisecondsPerDay);
    if (!milliseconds) {
        return std::nullopt;
    }
    return partsOfMilliseconds(*milliseconds);
}

std::optional<OleDate> addSeconds(OleDate date, double seconds) {
    if (!std::isfinite(date.serial) || !std::isfinite(seconds)) {
        return std::nullopt;
    }
    const double moment = timeLine(date) + seconds / static_cast<double>(kSecondsPerDay);
    const double day = std::floor(moment);
    if (day < static_cast<double>(kFirstValidDay) || day > static_cast<double>(kLastValidDay)) {
        return std::nullopt;
    }
    return serialOf(day, moment - day);
}

std::partial_ordering compareDates(OleDate a, OleDate b) {
    return timeLine(a) <=> timeLine(b);
}

std::string formatGeneralDate(OleDate date) {
    const DateParts p = partsOfDate(date);
    const bool midnight = p.hour == 0 && p.minute == 0 && p.second == 0;
    const bool dayZero = p.year == 1899 && p.month == 12 && p.day == 30;
    std::string text;
    if (!dayZero) {
        std::string year = std::to_string(p.year);
        year.insert(0, 4 - year.size(), '0');
        text = std::to_string(p.month) + "/" + std::to_string(p.day) + "/" + year;
    }
    if (!midnight || dayZero) {
        const int hour12 = p.hour % 12 == 0 ? 12 : p.hour % 12;
        const auto twoDigits = [](int n) { return (n < 10 ? "0" : "") + std::to_string(n); };
        if (!text.empty()) {
            text += ' ';
        }
        text += std::to_string(hour12) + ":" + twoDigits(p.minute) + ":" + twoDigits(p.second) +
                (p.hour < 12 ? " AM" : " PM");
    }
    return text;
}

}  // namespace kx
