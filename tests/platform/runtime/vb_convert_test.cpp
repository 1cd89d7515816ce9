#include "platform/runtime/vb_convert.h"

#include <gtest/gtest.h>

#include <limits>

#include "tests/support/raised_error.h"

namespace kx {
namespace {

using test::errorNumberOf;

TEST(CIntAndCLng, RoundHalfToEvenOnBothSignsAndOverflowExactlyWhereTheResultLeavesTheirBits) {
    const std::pair<double, std::int16_t> numbers[] = {
        {0.5, 0}, {1.5, 2}, {2.5, 2}, {3.5, 4}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2}, {2.5000001, 3}};
    for (const auto& [number, rounded] : numbers) {
        EXPECT_EQ(CInt(number), rounded) << number;
    }
    EXPECT_EQ(CInt("2.5"), 2);
    EXPECT_EQ(CInt("3.5"), 4);
    EXPECT_EQ(CInt("-2.5"), -2);
    EXPECT_EQ(CInt("2.50000000000000000000001"), 3);
    EXPECT_EQ(CInt(Currency{25000}), 2);
    EXPECT_EQ(CInt(Currency{-35000}), -4);
    // Overflow comes exactly where the rounded value leaves sixteen bits.
    EXPECT_EQ(CInt(32767.49), 32767);
    EXPECT_EQ(errorNumberOf([] { CInt(32767.5); }), 6);
    EXPECT_EQ(CInt(-32768.5), -32768);  // half to even stays inside
    EXPECT_EQ(errorNumberOf([] { CInt(-32769.5); }), 6);
    EXPECT_EQ(errorNumberOf([] { CInt("32767.5"); }), 6);
    EXPECT_EQ(CInt("-32768.5"), -32768);
    EXPECT_EQ(errorNumberOf([] { CInt(std::int32_t{40000}); }), 6);
    EXPECT_EQ(errorNumberOf([] { CInt(std::numeric_limits<double>::quiet_NaN()); }), 6);
    EXPECT_EQ(errorNumberOf([] { CInt(std::numeric_limits<double>::infinity()); }), 6);
    // The 32-bit limits, and the 64-bit variant.
    EXPECT_EQ(CLng(2147483647.4), 2147483647);
    EXPECT_EQ(errorNumberOf([] { CLng(2147483647.5); }), 6);
    EXPECT_EQ(CLng("-2147483648"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(errorNumberOf([] { CLng("2147483648"); }), 6);
    EXPECT_EQ(CLngLng("9223372036854775807"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(CLngLng("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(errorNumberOf([] { CLngLng("9223372036854775808"); }), 6);
    EXPECT_EQ(errorNumberOf([] { CLngLng("1e30"); }), 6);
    EXPECT_EQ(errorNumberOf([] { CLngLng(9223372036854775808.0); }), 6);
    EXPECT_EQ(CLngLng(std::int64_t{-9007199254740993}), -9007199254740993);
}

TEST(NumericConversions, AcceptEveryNumericKindAndNumericTextToTheNearestDoubleAndRefuseTheRest) {
    EXPECT_EQ(CInt(Variant()), 0);
    EXPECT_EQ(CInt(true), -1);
    EXPECT_EQ(CInt(std::uint8_t{255}), 255);
    EXPECT_EQ(CLng(OleDate{45000.75}), 45001);
    const std::pair<const char*, std::int32_t> texts[] = {
        {" 12 ", 12},    {"+7", 7},   {"7-", -7},   {"(7)", -7}, {"1,234", 1234},
        {"1.5e3", 1500}, {"$12", 12}, {"&H10", 16}, {"&o17", 15}};
    for (const auto& [text, number] : texts) {
        EXPECT_EQ(CLng(text), number) << text;
    }
    // Hexadecimal text has the value of the literal: the smallest of 16/32/64 bits that holds it.
    EXPECT_EQ(CInt("&HFFFF"), -1);
    EXPECT_EQ(CLng("&HFFFF"), -1);
    EXPECT_EQ(CLng("&H10000"), 65536);
    EXPECT_EQ(CLng("&HFFFFFFFF"), -1);
    EXPECT_EQ(errorNumberOf([] { CInt("&H10000"); }), 6);
    EXPECT_EQ(errorNumberOf([] { CInt(Variant::null()); }), 94);
    EXPECT_EQ(errorNumberOf([] { CDbl(Variant::null()); }), 94);
    for (const char* text :
         {"", " ", "abc", "45 Help", ".", "1e", "--1", "(5", "1 2", "12/6/2026"}) {
        EXPECT_EQ(errorNumberOf([&] { CInt(text); }), 13) << text;
        EXPECT_EQ(errorNumberOf([&] { CDbl(text); }), 13) << text;
    }
    EXPECT_EQ(errorNumberOf([] { CLng(Variant::nothing()); }), 13);
    EXPECT_EQ(errorNumberOf([] { CLng(Variant::missing()); }), 13);
    EXPECT_EQ(errorNumberOf([] { CDbl(Variant(SafeArray())); }), 13);
    // CDbl reads text to the nearest double.
    EXPECT_DOUBLE_EQ(CDbl(" 459.95 "), 459.95);
    EXPECT_DOUBLE_EQ(CDbl("-1.5E-07"), -1.5e-7);
    EXPECT_DOUBLE_EQ(CDbl("&HFFFF"), -1.0);
    EXPECT_EQ(CDbl("0.1"), 0.1);
    EXPECT_EQ(CDbl("1e-400"), 0.0);
    EXPECT_EQ(errorNumberOf([] { CDbl("1e400"); }), 6);
    EXPECT_EQ(errorNumberOf([] { CDbl(std::string(400, '9')); }), 6);
    EXPECT_DOUBLE_EQ(CDbl("0." + std::string(2000, '3')), 1.0 / 3.0);
    EXPECT_EQ(CDbl(Currency{-12345}), -1.2345);
    EXPECT_EQ(CDbl(true), -1.0);
}

TEST(IsNumeric, FollowsTheNumberGrammar) {
    for (const char* text : {" 5 ", "1e3", "(5)", "&H10", "1,234", "1,2,3", "459.95", "-.5", "5.",
                             "5-", "$ 5", "-$5", "  +1E-3  ", "\t7\r\n"}) {
        EXPECT_TRUE(IsNumeric(text)) << text;
    }
    for (const char* text :
         {"", ".", "45 Help", "4/28/2014", "April 28, 2014", "1e", "e3", ",5", "(-5)", "+-5", "5+-",
          "&H", "&HG", "&H11112222333344445", "1e400", "5 $", "0x10"}) {
        EXPECT_FALSE(IsNumeric(text)) << text;
    }
    EXPECT_TRUE(IsNumeric(Variant()));
    EXPECT_TRUE(IsNumeric(Currency{1}));
    EXPECT_TRUE(IsNumeric(true));
    EXPECT_FALSE(IsNumeric(Variant::null()));
    EXPECT_FALSE(IsNumeric(OleDate{1.0}));
    EXPECT_FALSE(IsNumeric(Variant::nothing()));
}

TEST(CStr, PlainTextOfEveryScalarKindInTheRuntimesFormAndRefusalOfTheOthers) {
    EXPECT_EQ(CStr(Variant()), "");
    EXPECT_EQ(CStr(true), "True");
    EXPECT_EQ(CStr(false), "False");
    EXPECT_EQ(CStr(std::uint8_t{200}), "200");
    EXPECT_EQ(CStr(std::int16_t{-32768}), "-32768");
    EXPECT_EQ(CStr(std::int64_t{std::numeric_limits<std::int64_t>::min()}), "-9223372036854775808");
    EXPECT_EQ(CStr(Variant::missing()), "Error 448");
    const std::string withNul("a\0b", 3);
    EXPECT_EQ(CStr(withNul), withNul);
    EXPECT_EQ(errorNumberOf([] { CStr(Variant::null()); }), 94);
    EXPECT_EQ(errorNumberOf([] { CStr(Variant::nothing()); }), 13);
    EXPECT_EQ(errorNumberOf([] { CStr(Variant(RecordValue{"T"})); }), 13);
    EXPECT_EQ(errorNumberOf([] { CStr(Variant(SafeArray())); }), 13);
    // Doubles show fifteen significant digits in the runtime's form.
    EXPECT_EQ(CStr(0.1 + 0.2), "0.3");
    EXPECT_EQ(CStr(-0.5), "-0.5");
    EXPECT_EQ(CStr(-0.0), "0");
    EXPECT_EQ(CStr(1e20), "1E+20");
    EXPECT_EQ(CStr(1.5e-7), "1.5E-07");
    EXPECT_EQ(CStr(0.0001), "0.0001");
    EXPECT_EQ(CStr(0.00001), "1E-05");
    EXPECT_EQ(CStr(123456789012345.0), "123456789012345");
    EXPECT_EQ(CStr(1e15), "1E+15");
    EXPECT_EQ(CStr(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(CStr(-1.23456789e-100), "-1.23456789E-100");
    EXPECT_EQ(CStr(6000081690000.0), "6000081690000");
    EXPECT_EQ(CStr(1.1f), "1.1");
    EXPECT_EQ(CStr(16777216.0f), "1.677722E+07");
    // Currency shows up to four decimals without trailing zeros.
    EXPECT_EQ(CStr(Currency{12345000}), "1234.5");
    EXPECT_EQ(CStr(Currency{10000}), "1");
    EXPECT_EQ(CStr(Currency{-5000}), "-0.5");
    EXPECT_EQ(CStr(Currency{1}), "0.0001");
    EXPECT_EQ(CStr(Currency{std::numeric_limits<std::int64_t>::min()}), "-922337203685477.5808");
}

}  // namespace
}  // namespace kx
