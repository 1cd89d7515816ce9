#include "platform/runtime/vb_format.h"

#include <gtest/gtest.h>

#include <limits>

#include "tests/support/raised_error.h"

namespace kx {
namespace {

using test::errorNumberOf;

TEST(Format, DigitPlaceholdersGroupPadShowEveryDigitAndRoundHalfAwayFromZero) {
    EXPECT_EQ(Format(std::int32_t{1234567}, "#,##0"), "1,234,567");
    EXPECT_EQ(Format(std::int32_t{0}, "#,##0"), "0");
    EXPECT_EQ(Format(std::int32_t{999}, "#,##0"), "999");
    EXPECT_EQ(Format(std::int32_t{1000}, "#,##0"), "1,000");
    EXPECT_EQ(Format(-1234.5, "#,##0"), "-1,235");
    // The memory figure pattern shows nothing for zero.
    EXPECT_EQ(Format(std::int64_t{0}, "#,###,###,###"), "");
    EXPECT_EQ(Format(std::int32_t{-7}, "#,###,###,###"), "-7");
    // Digits beyond the placeholders are all shown, still grouped.
    EXPECT_EQ(Format(std::numeric_limits<std::int64_t>::max(), "#,###,###,###"),
              "9,223,372,036,854,775,807");
    EXPECT_EQ(Format(std::numeric_limits<std::int64_t>::min(), "#,##0"),
              "-9,223,372,036,854,775,808");
    // Zero-padded version parts.
    EXPECT_EQ(Format(std::int16_t{5}, "00"), "05");
    EXPECT_EQ(Format(std::int16_t{17514}, "0000"), "17514");
    EXPECT_EQ(Format(std::int16_t{0}, "0000"), "0000");
    EXPECT_EQ(Format(std::int16_t{-5}, "00"), "-05");

    // Rounding is half away from zero, unlike the conversions.
    EXPECT_EQ(Format(2.5, "0"), "3");
    EXPECT_EQ(Format(-2.5, "0"), "-3");
    EXPECT_EQ(Format(0.5, "#"), "1");
    EXPECT_EQ(Format(1.005, "0.00"), "1.01");  // rounds the shown digits, not the binary value
    EXPECT_EQ(Format(Currency{25000}, "0"), "3");
    // A negative number that rounds to zero shows no sign.
    EXPECT_EQ(Format(-0.4, "0"), "0");
    EXPECT_EQ(Format(-0.4, "#"), "");
    // Fractions, literals and scaling.
    EXPECT_EQ(Format(5459.4, "##,##0.00"), "5,459.40");
    EXPECT_EQ(Format(0.4, "#.##"), ".4");
    EXPECT_EQ(Format(5.0, "#.##"), "5.");
    EXPECT_EQ(Format(3.14159, "0.0#"), "3.14");
    EXPECT_EQ(Format(3.1, "0.0#"), "3.1");
    EXPECT_EQ(Format(5.5, ".00"), "5.50");
    EXPECT_EQ(Format(std::int32_t{123456789}, "000-00-0000"), "123-45-6789");
    EXPECT_EQ(Format(std::int32_t{5}, "\"Total: \"0\\!"), "Total: 5!");
    EXPECT_EQ(Format(std::int32_t{-5}, "$0"), "-$5");
    EXPECT_EQ(Format(0.256, "0.0%"), "25.6%");
    EXPECT_EQ(Format(std::int32_t{1234567}, "#,##0,"), "1,235");
    EXPECT_EQ(Format(std::int32_t{1234567890}, "#,##0,,"), "1,235");
    EXPECT_EQ(Format(std::int32_t{1234567}, "0,.00"), "1234.57");
}

TEST(Format, SectionsForNegativeZeroAndNullAndEveryValueKind) {
    const char* pattern = "0;(0);\"zero\";\"none\"";
    EXPECT_EQ(Format(std::int32_t{5}, pattern), "5");
    EXPECT_EQ(Format(std::int32_t{-5}, pattern), "(5)");
    EXPECT_EQ(Format(std::int32_t{0}, pattern), "zero");
    EXPECT_EQ(Format(Variant::null(), pattern), "none");
    EXPECT_EQ(Format(Variant::null(), "0"), "");
    EXPECT_EQ(Format(std::int32_t{-5}, "0;;\"zero\""), "-5");
    // A quoted or escaped ";" does not start a section.
    EXPECT_EQ(Format(std::int32_t{-5}, "0\";\""), "-5;");
    EXPECT_EQ(Format(std::int32_t{-5}, "0\\;"), "-5;");
    // Every kind of value.
    EXPECT_EQ(Format("123", "00000"), "00123");
    EXPECT_EQ(Format(" 1,234.5 ", "#,##0.0"), "1,234.5");
    EXPECT_EQ(Format("abc", "00"), "abc");
    EXPECT_EQ(Format(Variant(), "0"), "0");
    EXPECT_EQ(Format(true, "0"), "-1");
    EXPECT_EQ(Format(OleDate{2.5}, "0.0"), "2.5");
    EXPECT_EQ(Format(1.5e-7, ""), "1.5E-07");
    EXPECT_EQ(Format(true, ""), "True");
    EXPECT_EQ(Format(1e300, "0").size(), 301u);
    EXPECT_EQ(errorNumberOf([] { Format(Variant::nothing(), "0"); }), 13);
    EXPECT_EQ(errorNumberOf([] { Format("1e400", "0"); }), 6);
}

}  // namespace
}  // namespace kx
