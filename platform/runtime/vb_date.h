#pragma once
// Dates of the old runtime: the OleDate serial (days since 30 December 1899, the fraction being the
// time of day) converted from and to calendar parts, compared, shown as text and read from text.
//
// The calendar is the proleptic Gregorian one; valid dates run from 1 January 100 to 31 December
// 9999. Before 30 December 1899 the serial is negative but its fraction still counts forward from
// midnight: -1.25 is 29 December 1899, 06:00. Times are resolved to whole seconds when a date is
// shown or split by partsOfDate, and to milliseconds by partsOfDateToMillisecond.

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/runtime/variant.h"

namespace kx {

struct DateParts {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    friend bool operator==(const DateParts&, const DateParts&) = default;
};

// The date of the parts, or nothing when a part is out of its range (month 1-12, day within the
// month, hour 0-23, minute and second 0-59, millisecond 0-999) or the date lies outside
// 100-01-01 .. 9999-12-31.
std::optional<OleDate> dateFromParts(const DateParts& parts);

// The calendar parts of a date, to the nearest second (millisecond is 0). Raises RuntimeError 5
// for a serial that is not a finite number within the valid range.
DateParts partsOfDate(OleDate date);

// The calendar parts of a date, to the nearest millisecond; nothing for a serial that is not a
// finite number within the valid range.
std::optional<DateParts> partsOfDateToMillisecond(OleDate date);

// The date moved by `seconds` (negative: back) along the time line, across 30 December 1899 as
// well; nothing when the result lies outside the valid range or `seconds` is not finite.
std::optional<OleDate> addSeconds(OleDate date, double seconds);

// Chronological order of two dates. Serials of the same moment compare equal (-0.5 and 0.5 are
// both noon of 30 December 1899), and before 1899-12-30 the order follows the calendar rather than
// the raw serial (-1.25, at 06:00, is later than -1.0, at midnight). NaN is unordered.
std::partial_ordering compareDates(OleDate a, OleDate b);

// The US general date form: "12/6/2026 3:04:05 PM"; only the date ("12/6/2026") when the time is
// midnight; only the time ("3:04:05 PM") when the date is 30 December 1899. Years are written
// with four digits. Raises RuntimeError 5 like partsOfDate.
std::string formatGeneralDate(OleDate date);

// Reads an ISO 8601 date-time, the whole text and nothing else (no surrounding blanks):
// YYYY-MM-DD, optionally followed by "T" or one space and hh:mm[:ss[.fraction]] (the fraction
// rounded to the millisecond), optionally followed by "Z" or an offset +hh:mm, +hhmm or +hh (or
// "-"; at most 14 hours). A text with "Z" or an offset names a moment: the result is that moment in
// UTC, so stamps written with different offsets compare correctly. Without either, the clock time
// is taken as written. Letters compare without regard to case.
std::optional<OleDate> parseIsoDateTime(std::string_view text);

// Which texts parseDateText reads.
enum class DateTextRules : std::uint8_t {
    General,  // every form listed below, as CDate and IsDate read them
    // The date literals of row-set filters and of date text assigned to row-set fields: only the
    // ISO form and the US order m/d/yy or m/d/yyyy ("/" only, years of two or four digits),
    // optionally followed by h:mm or h:mm:ss (minutes and seconds of two digits) and "AM", "am",
    // "PM" or "pm" (hours 1-12 then). Spaces only, no tabs.
    UsLiteral,
};

// Reads a date and/or time from text. Surrounding spaces and tabs are ignored; letters compare
// without regard to case. Accepted forms (with DateTextRules::General):
//   ISO 8601:   as parseIsoDateTime reads it.
//   Numeric:    M/D/Y or M-D-Y (month first), and Y/M/D or Y-M-D when the first number has three
//               or four digits.
//   Month name: "April 28, 2014", "Apr 28 2014", "28 April 2014", "28-Apr-2014" (full English
//               month names or their first three letters; the comma is optional).
//   Years of one or two digits fall in 1930-2029 (30 is 1930, 29 is 2029); three or four digits are
//   the year itself. Every date form needs a year.
//   Time:       h:mm, h:mm:ss, optionally followed by AM or PM (hours 1-12; 12 AM is midnight,
//               12 PM noon), or h AM / h PM; without AM/PM hours are 0-23. A time may follow the
//               date after spaces, or stand alone (the date is then 30 December 1899).
// Not accepted: weekday names, dates without a year, "." as a separator, two-digit ISO years,
// anything out of range ("13/32/2014", "2/29/2015", "24:00").
std::optional<OleDate> parseDateText(std::string_view text,
                                     DateTextRules rules = DateTextRules::General);

// Whether a value is a date: a Date, or text that parseDateText reads.
bool IsDate(const Variant& value);

// A value as a Date: a Date itself; text read by parseDateText (anything else raises 13);
// Empty is 0; numbers, Booleans and Currency are taken as the serial (outside the valid range:
// RuntimeError 6). Null raises 94; objects, arrays, records and missing arguments raise 13.
OleDate CDate(const Variant& value);

}  // namespace kx
