#include "mask_passwords.h"

#include <gtest/gtest.h>

namespace kx::errhandler {
namespace {

TEST(MaskPasswords, TextWithoutKeywordsIsUnchanged) {
    EXPECT_EQ(MaskPasswords(""), "");
    EXPECT_EQ(MaskPasswords("<mLogin>jsmith</mLogin>\r\n<mPass>x</mPass>"),
              "<mLogin>jsmith</mLogin>\r\n<mPass>x</mPass>");
    EXPECT_EQ(MaskPasswords("PASSWOR PW D"), "PASSWOR PW D");
}

TEST(MaskPasswords, ShortValuesMaskAtTheFixedPositions) {
    // "PASS" stays and the 22 characters after it give way to ten asterisks.
    EXPECT_EQ(MaskPasswords("<mPassword>secret</mPassword>\r\n<mLogin>jsmith</mLogin>\r\n"),
              "<mPass**********>\r\n<mLogin>jsmith</mLogin>\r\n");
    // "PW" stays and the 24 characters after it go.
    EXPECT_EQ(MaskPasswords("<pwd>abc</pwd>\r\n<next>0123456789</next>"),
              "<pw**********56789</next>");
    // The fixed stretch runs on over the line end, as it always has.
    EXPECT_EQ(MaskPasswords("Server=db;Uid=sa;Pwd=hunter2;\r\nTimeout=30"),
              "Server=db;Uid=sa;Pw**********");
}

TEST(MaskPasswords, KeywordNearTheEndLeavesOnlyTheKeptLettersAndAsterisks) {
    EXPECT_EQ(MaskPasswords("context Password"), "context Pass**********");
    EXPECT_EQ(MaskPasswords("x PASSWORD=a"), "x PASS**********");
    EXPECT_EQ(MaskPasswords("pwd"), "pw**********");
}

TEST(MaskPasswords, LettersOfTheKeywordKeepTheirCase) {
    EXPECT_EQ(MaskPasswords("<mpassword>a</mpassword>\r\n"), "<mpass**********");
    EXPECT_EQ(MaskPasswords("<PaSsWoRd>a</PaSsWoRd>\r\n<next>"), "<PaSs**********xt>");
    EXPECT_EQ(MaskPasswords("pWd=1\r\n"), "pW**********");
}

TEST(MaskPasswords, LongValuesNeverKeepTheirTail) {
    const std::string secret = "correct-horse-battery-staple-0123456789";
    EXPECT_EQ(MaskPasswords("<mPassword>" + secret + "</mPassword>\r\n<b>1</b>"),
              "<mPass**********</mPass**********");
    EXPECT_EQ(MaskPasswords("password=" + secret), "pass**********");
    EXPECT_EQ(MaskPasswords("Pwd=" + secret + "\nnext line"), "Pw**********\nnext line");
}

TEST(MaskPasswords, SeveralOccurrencesAreAllMasked) {
    const std::string masked = MaskPasswords(
        "<mPassword>one</mPassword>\r\n<a>x</a>\r\n<Password>a-very-long-second-password-value"
        "</Password>\r\n<pwd>third</pwd>\r\n");
    EXPECT_EQ(masked, "<mPass**********<a>x</a>\r\n<Pass**********</Pass**********>\r\n");
    for (const char* secret : {"one", "second", "third", "value"}) {
        EXPECT_EQ(masked.find(secret), std::string::npos) << secret;
    }
}

TEST(MaskPasswords, AKeywordHiddenInsideAStretchStillHasItsValueMasked) {
    // The second keyword lies inside the first one's stretch, so the search would never find it;
    // its long value must not survive behind the asterisks.
    EXPECT_EQ(MaskPasswords("PASSWORD<PASSWORD=abcdefghijklmnopqrstuvwxyz\r\nrest"),
              "PASS**********\r\nrest");
    EXPECT_EQ(MaskPasswords("pwd=a<pwd=abcdefghijklmnopqrstuvwxyz<rest"), "pw**********<rest");
}

TEST(MaskPasswordsTraced, OriginsPointAtTheKeptCharacters) {
    const std::string text = "ab pwd=xyz<c";
    const MaskedText traced = maskPasswordsTraced(text);
    ASSERT_EQ(traced.text.size(), traced.origin.size());
    for (std::size_t i = 0; i < traced.text.size(); ++i) {
        if (traced.origin[i] < 0) {
            EXPECT_EQ(traced.text[i], '*');
        } else {
            EXPECT_EQ(traced.text[i], text[static_cast<std::size_t>(traced.origin[i])]);
        }
    }
    EXPECT_EQ(traced.text, "ab pw**********");
}

}  // namespace
}  // namespace kx::errhandler
