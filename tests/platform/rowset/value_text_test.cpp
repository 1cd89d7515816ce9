// Value spellings and conversions: calendar arithmetic, the document date form,
// exact money amounts, integer ranges, assignment conversions and case folding.

#include <gtest/gtest.h>

#include <cmath>

#include "platform/rowset/date_time.h"
#include "platform/rowset/rowset_data.h"
#include "platform/rowset/text_fold.h"
#include "platform/rowset/value_text.h"
#include "platform/runtime/vb_date.h"

namespace kx::rowset {
namespace {

std::string iso(std::optional<OleDate> date) {
    return date ? formatXdrDateTime(*date).value_or("out of range") : "refused";
}

// The calendar itself (serials, leap days, impossible dates) is proven by the runtime's tests.
TEST(DateTime, DocumentFormIsWrittenAcrossTheEpochAndRangeEndsAndReadStrictly) {
    EXPECT_EQ(iso(OleDate{0.9999999999}), "1899-12-31T00:00:00");  // rounds into the next day
    EXPECT_EQ(iso(dateFromParts({100, 1, 1, 0, 0, 0, 0})), "0100-01-01T00:00:00");
    EXPECT_FALSE(formatXdrDateTime(OleDate{NAN}));
    EXPECT_FALSE(formatXdrDateTime(OleDate{1e12}));
    EXPECT_EQ(iso(parseIsoDateTime("2001-01-01")), "2001-01-01T00:00:00");
    EXPECT_EQ(iso(parseIsoDateTime("2001-01-01T10:00")), "2001-01-01T10:00:00");
    EXPECT_EQ(iso(parseIsoDateTime("2001-01-01T10:00:00.1239999")), "2001-01-01T10:00:00.123");
    // A zoned stamp is stored as its moment in UTC.
    EXPECT_EQ(iso(parseIsoDateTime("2001-01-01T10:00:00-05:30")), "2001-01-01T15:30:00");
    for (const char* bad : {"2001-1-01", "2001-01-01T25:00:00", "2001-01-01T10:00:00+15:00",
                            "2001-01-01x", "", "2001-01-01T", "20010101"}) {
        EXPECT_FALSE(parseIsoDateTime(bad)) << bad;
    }
}

TEST(ValueText, MoneyIsExactIntegersKeepTheirRangeAndAssignmentsConvertAsTheOldRuntimeDoes) {
    auto money = [](const char* text) {
        auto value = parseXdrValue(DataType::adCurrency, text);
        return value ? value->asCurrency().scaled : -999;
    };
    EXPECT_EQ(money("12.5"), 125000);
    EXPECT_EQ(money("0.00005"), 0);
    EXPECT_EQ(money("0.00015"), 2);
    EXPECT_EQ(money("0.000051"), 1);
    EXPECT_EQ(money("1e3"), 10000000);
    EXPECT_EQ(money("-922337203685477.5808"), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(money("922337203685477.5808"), -999);
    EXPECT_EQ(money("1.2.3"), -999);
    EXPECT_EQ(*formatXdrValue(DataType::adCurrency, Variant(Currency{-10001})), "-1.0001");
    // Integers keep their type's range.
    EXPECT_FALSE(parseXdrValue(DataType::adTinyInt, "128"));
    EXPECT_TRUE(parseXdrValue(DataType::adTinyInt, "-128"));
    EXPECT_TRUE(parseXdrValue(DataType::adUnsignedInt, "4294967295"));
    EXPECT_FALSE(parseXdrValue(DataType::adUnsignedTinyInt, "-1"));
    EXPECT_TRUE(parseXdrValue(DataType::adSmallInt, "+5"));
    for (const char* bad : {"+-5", " 5", "5.0", "", "9223372036854775808"}) {
        EXPECT_FALSE(parseXdrValue(DataType::adBigInt, bad)) << bad;
    }

    // Assignments convert as the old runtime does.
    auto stored = [](DataType type, const Variant& value) {
        auto converted = convertValue(type, value);
        return converted ? textOfValue(*converted).value_or("?") : "refused";
    };
    EXPECT_EQ(stored(DataType::adInteger, Variant(2.5)), "2");
    EXPECT_EQ(stored(DataType::adInteger, Variant(3.5)), "4");
    EXPECT_EQ(stored(DataType::adInteger, Variant(" -$12 ")), "-12");
    EXPECT_EQ(stored(DataType::adInteger, Variant(true)), "-1");
    EXPECT_EQ(stored(DataType::adSmallInt, Variant(40000.0)), "refused");
    EXPECT_EQ(stored(DataType::adBoolean, Variant("TRUE")), "True");
    EXPECT_EQ(stored(DataType::adBoolean, Variant(std::int32_t{0})), "False");
    EXPECT_EQ(stored(DataType::adDate, Variant("1/15/2024")), "2024-01-15T00:00:00");
    EXPECT_EQ(stored(DataType::adVarWChar, Variant(0.1)), "0.1");
    EXPECT_EQ(stored(DataType::adDouble, Variant(NAN)), "refused");
    EXPECT_EQ(stored(DataType::adDate, Variant(NAN)), "refused");
    EXPECT_EQ(stored(DataType::adDate, Variant(3e6)), "refused");
    EXPECT_EQ(stored(DataType::adGUID, Variant("not a guid")), "refused");
    EXPECT_EQ(stored(DataType::adVarBinary, Variant(std::int32_t{1})), "refused");
}

TEST(TextFold, LettersFoldToOneCaseAndStrayBytesAreSafe) {
    EXPECT_TRUE(equalsFolded("ÉCOLE Zoë", "école ZOË"));
    EXPECT_LT(compareFolded("a", "B"), 0);
    EXPECT_FALSE(equalsFolded("×", "÷"));
    EXPECT_EQ(characterCount("東京"), 2u);
    EXPECT_EQ(characterCount("\xC3"), 1u);
    EXPECT_FALSE(equalsFolded("\xC3", "\xE3"));
    EXPECT_EQ(foldCase("AB\xFF"), "ab\xFF");
}

}  // namespace
}  // namespace kx::rowset
