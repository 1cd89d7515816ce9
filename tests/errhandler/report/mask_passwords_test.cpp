#include "mask_passwords.h"

#include <gtest/gtest.h>

namespace kx::errhandler {
namespace {

TEST(MaskPasswords, MasksEveryKeywordWithAFixedStretchEachTimeItOccurs) {
    const std::string secret = "correct-horse-battery-staple-0123456789";
    struct Case {
        const char* name;
        std::string text;
        std::string masked;
    };
    const Case cases[] = {
        {"empty", "", ""},
        {"no keyword", "<mLogin>jsmith</mLogin>\r\n<mPass>x</mPass>",
         "<mLogin>jsmith</mLogin>\r\n<mPass>x</mPass>"},
        {"partial keywords", "PASSWOR PW D", "PASSWOR PW D"},
        // "PASS" stays and the 22 characters after it give way to ten asterisks.
        {"short password", "<mPassword>secret</mPassword>\r\n<mLogin>jsmith</mLogin>\r\n",
         "<mPass**********>\r\n<mLogin>jsmith</mLogin>\r\n"},
        // "PW" stays and the 24 characters after it go.
        {"short pwd", "<pwd>abc</pwd>\r\n<next>0123456789</next>", "<pw**********56789</next>"},
        // The fixed stretch runs on over the line end, as it always has.
        {"over the line end", "Server=db;Uid=sa;Pwd=hunter2;\r\nTimeout=30",
         "Server=db;Uid=sa;Pw**********"},
        {"near the end", "context Password", "context Pass**********"},
        {"near the end with value", "x PASSWORD=a", "x PASS**********"},
        {"keyword alone", "pwd", "pw**********"},
        {"lower case", "<mpassword>a</mpassword>\r\n", "<mpass**********"},
        {"mixed case", "<PaSsWoRd>a</PaSsWoRd>\r\n<next>", "<PaSs**********xt>"},
        {"mixed case pwd", "pWd=1\r\n", "pW**********"},
        {"long tag value", "<mPassword>" + secret + "</mPassword>\r\n<b>1</b>",
         "<mPass**********</mPass**********"},
        {"long assigned value", "password=" + secret, "pass**********"},
        {"long value then line", "Pwd=" + secret + "\nnext line", "Pw**********\nnext line"},
        // The second keyword lies inside the first one's stretch, so the search would never find
        // it; its long value must not survive behind the asterisks.
        {"hidden password", "PASSWORD<PASSWORD=abcdefghijklmnopqrstuvwxyz\r\nrest",
         "PASS**********\r\nrest"},
        {"hidden pwd", "pwd=a<pwd=abcdefghijklmnopqrstuvwxyz<rest", "pw**********<rest"},
        {"several",
         "<mPassword>one</mPassword>\r\n<a>x</a>\r\n<Password>a-very-long-second-password-value"
         "</Password>\r\n<pwd>third</pwd>\r\n",
         "<mPass**********<a>x</a>\r\n<Pass**********</Pass**********>\r\n"}};
    for (const Case& c : cases) {
        EXPECT_EQ(MaskPasswords(c.text), c.masked) << "case: " << c.name;
    }
}

TEST(MaskPasswordsTraced, OriginsPointAtTheKeptCharacters) {
    const std::string text = "ab pwd=xyz<c";
    const MaskedText traced = maskPasswordsTraced(text);
    ASSERT_EQ(traced.text.size(), traced.origin.size());
    for (std::size_t i = 0; i < traced.text.size(); ++i) {
        const auto origin = traced.origin[i];
        EXPECT_EQ(traced.text[i], origin < 0 ? '*' : text[static_cast<std::size_t>(origin)]) << i;
    }
    EXPECT_EQ(traced.text, "ab pw**********");
}

}  // namespace
}  // namespace kx::errhandler
