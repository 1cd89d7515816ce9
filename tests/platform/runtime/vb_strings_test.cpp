#include "platform/runtime/vb_strings.h"

#include <gtest/gtest.h>

#include "tests/support/raised_error.h"

namespace kx {
namespace {

using test::errorNumberOf;

TEST(TrimFamily, RemovesOnlyPlainSpaces) {
    EXPECT_EQ(Trim("  a b  "), "a b");
    EXPECT_EQ(LTrim("  a  "), "a  ");
    EXPECT_EQ(RTrim("  a  "), "  a");
    EXPECT_EQ(Trim("\t a \r\n"), "\t a \r\n");
    EXPECT_EQ(Trim("\xC2\xA0x\xC2\xA0"), "\xC2\xA0x\xC2\xA0");  // no-break spaces stay
    EXPECT_EQ(Trim("     "), "");
    EXPECT_EQ(Trim(std::string("\0 ", 2)), std::string("\0", 1));
}

TEST(CaseMapping, MapsAsciiAndLatinLettersAndLeavesOtherBytesNeverBreakingMalformedUtf8) {
    EXPECT_EQ(UCase("abc xyz 123 [`{"), "ABC XYZ 123 [`{");
    EXPECT_EQ(LCase("ABC XYZ @[\\"), "abc xyz @[\\");
    EXPECT_EQ(UCase("stra\xC3\x9F"
                    "e \xC3\xA9t\xC3\xA9"),
              "STRA\xC3\x9F"
              "E \xC3\x89T\xC3\x89");
    EXPECT_EQ(LCase("\xC3\x80\xC3\x96\xC3\x98\xC3\x9E"), "\xC3\xA0\xC3\xB6\xC3\xB8\xC3\xBE");
    // Multiplication and division signs are not letters.
    EXPECT_EQ(UCase("\xC3\xB7"), "\xC3\xB7");
    EXPECT_EQ(LCase("\xC3\x97"), "\xC3\x97");
    // y with diaeresis and its capital live in different blocks.
    EXPECT_EQ(UCase("\xC3\xBF"), "\xC5\xB8");
    EXPECT_EQ(LCase("\xC5\xB8"), "\xC3\xBF");
    // Latin Extended-A: c caron, l stroke (odd-capital run), z caron.
    EXPECT_EQ(UCase("\xC4\x8D\xC5\x82\xC5\xBE"), "\xC4\x8C\xC5\x81\xC5\xBD");
    EXPECT_EQ(LCase("\xC4\x8C\xC5\x81\xC5\xBD"), "\xC4\x8D\xC5\x82\xC5\xBE");
    // Dotless i and characters beyond the covered blocks stay as they are.
    EXPECT_EQ(UCase("\xC4\xB1 \xD0\xB6 \xE2\x82\xAC"), "\xC4\xB1 \xD0\xB6 \xE2\x82\xAC");
    // A lead byte without continuation, a lone continuation byte, a truncated sequence at the end.
    const std::string malformed =
        "\xC3"
        "a\x80"
        "b\xC3";
    EXPECT_EQ(UCase(malformed),
              "\xC3"
              "A\x80"
              "B\xC3");
    EXPECT_EQ(LCase(UCase(malformed)), malformed);
}

TEST(InStrAndReplace, FindAndReplaceFromStartWithEmptyTextEdgesAndLetterCaseOnRequest) {
    EXPECT_EQ(InStr("abcabc", "c"), 3);
    EXPECT_EQ(InStr(4, "abcabc", "c"), 6);
    EXPECT_EQ(InStr(7, "abcabc", "c"), 0);
    EXPECT_EQ(InStr("ab", "abc"), 0);
    // Empty texts and a start past the end.
    EXPECT_EQ(InStr("", "a"), 0);
    EXPECT_EQ(InStr("", ""), 0);
    EXPECT_EQ(InStr(2, "abc", ""), 2);
    EXPECT_EQ(InStr(4, "abc", ""), 0);
    EXPECT_EQ(errorNumberOf([] { InStr(0, "abc", "a"); }), 5);
    // Text comparison ignores letter case and still reports byte positions.
    EXPECT_EQ(InStr(1, "Hello World", "WORLD", CompareMethod::Binary), 0);
    EXPECT_EQ(InStr(1, "Hello World", "WORLD", CompareMethod::Text), 7);
    EXPECT_EQ(InStr(1, "\xC3\xA9t\xC3\xA9 CAF\xC3\x89", "caf\xC3\xA9", CompareMethod::Text), 7);

    // Replace replaces exact matches without rescanning, from the start up to the count.
    EXPECT_EQ(Replace("http://host://x", "://", "://tok@"), "http://tok@host://tok@x");
    EXPECT_EQ(Replace("aaa", "a", "aa"), "aaaaaa");
    EXPECT_EQ(Replace("1,2,3", ",", ""), "123");
    EXPECT_EQ(Replace("AbAB", "ab", "-"), "AbAB");
    EXPECT_EQ(Replace("AbAB", "ab", "-", 1, -1, CompareMethod::Text), "--");
    // The result begins at the start position; the count limits the replacements.
    EXPECT_EQ(Replace("abcabc", "b", "X", 3), "caXc");
    EXPECT_EQ(Replace("abcabc", "b", "X", 1, 1), "aXcabc");
    EXPECT_EQ(Replace("abcabc", "b", "X", 2, 0), "bcabc");
    EXPECT_EQ(Replace("abc", "", "X", 2), "bc");
    EXPECT_EQ(Replace("abc", "a", "X", 4), "");
    EXPECT_EQ(Replace("", "a", "X"), "");
    EXPECT_EQ(errorNumberOf([] { Replace("abc", "a", "X", 0); }), 5);
    EXPECT_EQ(errorNumberOf([] { Replace("abc", "a", "X", 1, -2); }), 5);
}

}  // namespace
}  // namespace kx
