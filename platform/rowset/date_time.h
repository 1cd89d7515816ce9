#pragma once
// Dates of row sets: conversion between the runtime's OleDate (days since 30 December 1899)
// and calendar parts, the document form yyyy-mm-ddThh:mm:ss, and the #date# literals of filter
// criteria. Valid dates run from 1 January 100 to 31 December 9999, as for the old runtime.

#include <optional>
#include <string>
#include <string_view>

#include "variant.h"

namespace kx::rowset {

struct DateTimeParts {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// Nullopt when a part is out of range (month 13, 30 February, hour 24, year 99...).
std::optional<OleDate> oleDateFromParts(const DateTimeParts& parts);
// The calendar parts of a date, rounded to the millisecond. Nullopt outside the valid range
// or for a value that is not finite.
std::optional<DateTimeParts> partsFromOleDate(OleDate date);

// The document form: yyyy-mm-dd, optionally followed by T (or one blank) and hh:mm[:ss[.fff]],
// optionally followed by Z or +hh:mm / -hh:mm. A zone is accepted and the wall-clock time kept
// as written, since row-set dates carry no zone.
std::optional<OleDate> parseXdrDateTime(std::string_view text);
// yyyy-mm-ddThh:mm:ss, with .fff appended only when the milliseconds are not zero.
// Nullopt when the date lies outside the valid range.
std::optional<std::string> formatXdrDateTime(OleDate date);

// A date as written in filter criteria and assigned as text: the document form, or the
// US order m/d/yyyy (two-digit years 00-29 are 2000-2029, 30-99 are 1930-1999) optionally
// followed by h:mm[:ss] and AM or PM.
std::optional<OleDate> parseDateText(std::string_view text);

}  // namespace kx::rowset
