#include "errhandler/report/mask_passwords.h"

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

// The launcher's dump holds the token in its own entry, inside the business-object URL and in the
// started application's parameters.
TEST(MaskPasswords, MasksTheLoginTokenWhereverTheTextShowsIt) {
    const std::string token = "0f3a9c55d2e84b71a6c0";
    const std::pair<std::string, std::string> cases[] = {
        {"<m_AuthLogin>" + token + "</m_AuthLogin>\r\n<m_BOServer>http://" + token +
             "@bo.example/kxbo</m_BOServer>\r\n<mParams>\"http://" + token + "@h " + token +
             "\"</mParams>\r\n",
         "<m_AuthLogin>**********</m_AuthLogin>\r\n<m_BOServer>http://**********@bo.example/kxbo"
         "</m_BOServer>\r\n<mParams>\"http://**********@h **********\"</mParams>\r\n"},
        // A short token is masked in its entry only; a URL's user part always.
        {"<m_AuthLogin>abc</m_AuthLogin> abc https://user:x@h/p?q=a@b",
         "<m_AuthLogin>**********</m_AuthLogin> abc https://**********@h/p?q=a@b"},
        // A password stretch that runs into the token leaves one run of asterisks.
        {"<pwd>1</pwd><m_AuthLogin>" + token + "</m_AuthLogin> http://host/a@b",
         "<pw**********</m_AuthLogin> http://host/a@b"}};
    for (const auto& [text, masked] : cases) {
        EXPECT_EQ(MaskPasswords(text), masked) << text;
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
