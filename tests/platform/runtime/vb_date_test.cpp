#include "platform/runtime/vb_date.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "platform/runtime/vb_convert.h"
#include "tests/support/raised_error.h"

namespace kx {
namespace {

using test::errorNumberOf;

OleDate dateOf(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    const auto date = dateFromParts({y, mo, d, h, mi, s});
    EXPECT_TRUE(date.has_value()) << y << "-" << mo << "-" << d;
    return date.value_or(OleDate{});
}

std::string textOf(std::string_view text) {
    const auto date = parseDateText(text);
    return date ? formatGeneralDate(*date) : "<not a date>";
}

TEST(DateParts, SerialsOfKnownDaysRoundTripToTheNearestSecondAndCompareAcrossTheEpoch) {
    EXPECT_EQ(dateOf(1899, 12, 30).serial, 0.0);
    EXPECT_EQ(dateOf(1900, 1, 1).serial, 2.0);
    EXPECT_EQ(dateOf(2014, 4, 28).serial, 41757.0);
    EXPECT_EQ(dateOf(2024, 2, 29).serial, 45351.0);
    EXPECT_EQ(dateOf(100, 1, 1).serial, -657434.0);
    EXPECT_EQ(dateOf(9999, 12, 31).serial, 2958465.0);
    EXPECT_EQ(dateOf(1899, 12, 30, 12).serial, 0.5);
    // Before day 0 the fraction counts forward: 29 Dec 1899 06:00 is -1.25.
    EXPECT_EQ(dateOf(1899, 12, 29, 6).serial, -1.25);
    const DateParts samples[] = {
        {1899, 12, 29, 6, 0, 0},  {1899, 12, 30, 0, 0, 1},    {1899, 12, 31, 23, 59, 59},
        {1800, 3, 1, 18, 30, 15}, {2000, 2, 29, 12, 0, 0},    {1900, 2, 28, 23, 59, 59},
        {100, 1, 1, 0, 0, 0},     {9999, 12, 31, 23, 59, 59}, {2026, 12, 6, 15, 4, 5},
    };
    for (const DateParts& parts : samples) {
        EXPECT_EQ(partsOfDate(dateOf(parts.year, parts.month, parts.day, parts.hour, parts.minute,
                                     parts.second)),
                  parts)
            << parts.year << "-" << parts.month << "-" << parts.day;
    }
    // Comparison follows the calendar, also before the epoch.
    EXPECT_EQ(compareDates(dateOf(2026, 1, 1), dateOf(2026, 1, 2)), std::partial_ordering::less);
    EXPECT_EQ(compareDates(dateOf(2026, 1, 1, 12), dateOf(2026, 1, 1, 12)),
              std::partial_ordering::equivalent);
    // -1.25 (06:00) is later than -1.0 (midnight) of the same day although the serial is smaller.
    EXPECT_EQ(compareDates(OleDate{-1.25}, OleDate{-1.0}), std::partial_ordering::greater);
    EXPECT_EQ(compareDates(OleDate{-0.5}, OleDate{0.5}), std::partial_ordering::equivalent);
    EXPECT_EQ(compareDates(OleDate{-1.75}, OleDate{0.25}), std::partial_ordering::less);
    EXPECT_EQ(compareDates(OleDate{std::nan("")}, OleDate{0.0}), std::partial_ordering::unordered);
}

TEST(DateParts, RefusesImpossibleDates) {
    // 1900 was not a leap year.
    const DateParts impossible[] = {{1900, 2, 29},          {2015, 2, 29},         {2014, 13, 1},
                                    {2014, 4, 31},          {99, 12, 31},          {10000, 1, 1},
                                    {2014, 1, 1, 24, 0, 0}, {2014, 1, 1, 0, 60, 0}};
    for (const DateParts& parts : impossible) {
        EXPECT_FALSE(dateFromParts(parts)) << parts.year << "-" << parts.month << "-" << parts.day;
    }
    for (const double serial : {2958466.0, -657435.0, std::nan("")}) {
        EXPECT_EQ(errorNumberOf([&] { partsOfDate(OleDate{serial}); }), 5) << serial;
    }
    // Times round to the nearest second, with a carry into the next day.
    EXPECT_EQ(partsOfDate(OleDate{1.0 - 1e-9}), (DateParts{1899, 12, 31, 0, 0, 0}));
    EXPECT_EQ(partsOfDate(OleDate{-1.0 - (1.0 - 1e-9)}), (DateParts{1899, 12, 30, 0, 0, 0}));
}

// Most forms are also shown by the ParseDateText tests, which print what they read.
TEST(FormatGeneralDate, UsGeneralFormWithDateOnlyAndTimeOnlyCases) {
    EXPECT_EQ(formatGeneralDate(dateOf(2026, 12, 6, 0, 0, 1)), "12/6/2026 12:00:01 AM");
    EXPECT_EQ(formatGeneralDate(OleDate{0.75}), "6:00:00 PM");
    EXPECT_EQ(formatGeneralDate(OleDate{-1.25}), "12/29/1899 6:00:00 AM");
    EXPECT_EQ(formatGeneralDate(dateOf(100, 1, 1)), "1/1/0100");
    EXPECT_EQ(CStr(dateOf(2014, 4, 28, 23, 59, 59)), "4/28/2014 11:59:59 PM");
}

TEST(ParseDateText, IsoUsMonthNameAndTwoDigitYearForms) {
    EXPECT_EQ(textOf("2026-12-06"), "12/6/2026");
    EXPECT_EQ(textOf("2026-12-06T14:03:00"), "12/6/2026 2:03:00 PM");
    EXPECT_EQ(textOf("2026-12-06 14:03:00"), "12/6/2026 2:03:00 PM");
    EXPECT_EQ(textOf("2026-12-06T14:03"), "12/6/2026 2:03:00 PM");
    EXPECT_EQ(textOf("2026-12-06T14:03:00.4"), "12/6/2026 2:03:00 PM");
    EXPECT_EQ(textOf("2026-12-06T14:03:00.6"), "12/6/2026 2:03:01 PM");
    // Texts with a zone name a moment and become UTC.
    EXPECT_EQ(textOf("2026-12-06T14:03:00Z"), "12/6/2026 2:03:00 PM");
    EXPECT_EQ(textOf("2026-12-06T14:03:00+02:00"), "12/6/2026 12:03:00 PM");
    EXPECT_EQ(textOf("2026-12-06T23:30:00-0100"), "12/7/2026 12:30:00 AM");
    EXPECT_EQ(textOf("1899-12-30T01:00:00+02"), "12/29/1899 11:00:00 PM");
    // US, month-name and two-digit-year forms.
    EXPECT_EQ(textOf("12/6/2026 3:04:05 PM"), "12/6/2026 3:04:05 PM");
    EXPECT_EQ(textOf("04/28/2014"), "4/28/2014");
    EXPECT_EQ(textOf("4-28-2014"), "4/28/2014");
    EXPECT_EQ(textOf("2014/4/28"), "4/28/2014");
    EXPECT_EQ(textOf("4/28/2014 3:04 pm"), "4/28/2014 3:04:00 PM");
    EXPECT_EQ(textOf("4/28/2014 15:04"), "4/28/2014 3:04:00 PM");
    EXPECT_EQ(textOf("4/28/2014 12:00 AM"), "4/28/2014");
    EXPECT_EQ(textOf("4/28/2014 12:00:00 PM"), "4/28/2014 12:00:00 PM");
    EXPECT_EQ(textOf("4/28/2014 3 PM"), "4/28/2014 3:00:00 PM");
    EXPECT_EQ(textOf("  April 28, 2014  "), "4/28/2014");
    EXPECT_EQ(textOf("apr 28 2014"), "4/28/2014");
    EXPECT_EQ(textOf("28-Apr-2014"), "4/28/2014");
    EXPECT_EQ(textOf("28 April 2014 10:15"), "4/28/2014 10:15:00 AM");
    EXPECT_EQ(textOf("3:04:05 PM"), "3:04:05 PM");
    EXPECT_EQ(textOf("12:00 AM"), "12:00:00 AM");
    // Two-digit years fall in 1930 to 2029.
    EXPECT_EQ(textOf("1/1/29"), "1/1/2029");
    EXPECT_EQ(textOf("1/1/30"), "1/1/1930");
    EXPECT_EQ(textOf("28-Apr-14"), "4/28/2014");
}

TEST(ParseDateText, RefusesTextsThatAreNotDates) {
    const std::vector<std::string_view> notDates = {
        "",          "   ",         "abc",         "13/32/2014", "2/29/2015",
        "2/29/1900", "4/31/2014",   "0/1/2014",    "4/28",       "04.28.2014",
        "4/28-2014", "28-Apr/2014", "10000-01-01", "0099-12-31", "2026-13-01",
        "5",         "1.5",         "April 2014",  "12345/1/1",  "Monday, April 28, 2014"};
    const std::vector<std::string_view> badTimes = {"2026-12-06T",
                                                    "4/28/2014 24:00",
                                                    "4/28/2014 13:00 PM",
                                                    "4/28/2014 10:60",
                                                    "9999-12-31T23:00:00-02:00",
                                                    "2026-12-06T14:03:00+24:00",
                                                    "2026-12-06T14:03:00+15:00",
                                                    "4/28/2014 3:04 XM",
                                                    "4/28/2014 garbage"};
    for (auto texts : {notDates, badTimes}) {
        for (std::string_view text : texts) {
            EXPECT_FALSE(parseDateText(text).has_value()) << '"' << text << '"';
            EXPECT_FALSE(IsDate(std::string(text))) << text;
        }
    }
}

// The date literals of row-set filters: the numeric US form only, in fixed widths.
TEST(ParseDateText, UsLiteralRulesAreTheStrictNumericUsForm) {
    auto literal = [](std::string_view text) {
        const auto date = parseDateText(text, DateTextRules::UsLiteral);
        return date ? formatGeneralDate(*date) : "<not a date>";
    };
    EXPECT_EQ(literal(" 8/24/95 "), "8/24/1995");
    EXPECT_EQ(literal("1/1/29"), "1/1/2029");
    EXPECT_EQ(literal("12/31/2024 11:59 PM"), "12/31/2024 11:59:00 PM");
    EXPECT_EQ(literal("1/1/2024 12:00:30 am"), "1/1/2024 12:00:30 AM");
    EXPECT_EQ(literal("2024-12-31T23:59"), "12/31/2024 11:59:00 PM");
    // Forms of the general reader, then texts that neither reads.
    for (const char* text :
         {"4-28-2014", "2014/4/28", "April 28, 2014", "3:04 PM", "4/28/2014 3 PM", "4/28/2014 3:4",
          "4/28/2014 3:04 Pm", "4/28/2014 0:30 AM", "1/1/5", "\t1/1/2024", "1/1/202410:00",
          "13/1/2024", "2/30/2024", "1/1/202", "1/1/2024 13:00 PM", "1/1"}) {
        EXPECT_EQ(literal(text), "<not a date>") << text;
    }
}

TEST(CDate, ConvertsTextNumbersAndRefusesTheRest) {
    EXPECT_EQ(CDate("April 28, 2014").serial, 41757.0);
    EXPECT_EQ(CDate(41757.5).serial, 41757.5);
    EXPECT_EQ(CDate(Variant()).serial, 0.0);
    EXPECT_EQ(CDate(true).serial, -1.0);
    EXPECT_TRUE(IsDate(OleDate{1.0}));
    EXPECT_FALSE(IsDate(41757.0));
    EXPECT_FALSE(IsDate(Variant::null()));
    EXPECT_EQ(errorNumberOf([] { CDate("13/32/2014"); }), 13);
    EXPECT_EQ(errorNumberOf([] { CDate(Variant::null()); }), 94);
    EXPECT_EQ(errorNumberOf([] { CDate(3e6); }), 6);
    EXPECT_EQ(errorNumberOf([] { CDate(std::numeric_limits<double>::infinity()); }), 6);
    EXPECT_EQ(errorNumberOf([] { CDate(Variant::nothing()); }), 13);
}

}  // namespace
}  // namespace kx
