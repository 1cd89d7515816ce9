// Stored passwords: salted slow hashes that verify only the right password.

#include <gtest/gtest.h>

#include "password.h"

namespace kx::server {
namespace {

TEST(PasswordHash, IsSlowAndStoresNeitherThePasswordNorTheSameTextTwice) {
    EXPECT_GE(kDefaultPbkdf2Iterations, 200'000u);
    EXPECT_THROW(hashPassword("x", 0), std::runtime_error);

    const std::string password = "correct horse";
    const std::string first = hashPassword(password, 1000);
    const std::string second = hashPassword(password, 1000);
    EXPECT_EQ(first.find(password), std::string::npos);
    EXPECT_NE(first, second);  // a fresh salt each time
    EXPECT_EQ(first.rfind("pbkdf2-sha256$1000$", 0), 0u);
    // scheme, iterations, 16-byte salt and 32-byte hash in hex
    EXPECT_EQ(first.size(), std::string("pbkdf2-sha256$1000$").size() + 32 + 1 + 64);
    EXPECT_TRUE(verifyPassword(password, first));
    EXPECT_TRUE(verifyPassword(password, second));
}

TEST(PasswordHash, RejectsWrongPasswordsAndDamagedHashes) {
    const std::string stored = hashPassword("secret", 1000);
    EXPECT_FALSE(verifyPassword("Secret", stored));
    EXPECT_FALSE(verifyPassword("secret ", stored));
    EXPECT_FALSE(verifyPassword("", stored));
    std::string flipped = stored;
    flipped.back() = flipped.back() == '0' ? '1' : '0';
    EXPECT_FALSE(verifyPassword("secret", flipped));
    for (const std::string& damaged :
         {std::string(), std::string("secret"), std::string("pbkdf2-sha256$0$00$00"),
          std::string("pbkdf2-sha256$99999999999$00$00"), std::string("md5$1000$00$00"),
          std::string("pbkdf2-sha256$1000$zz$00"), std::string("pbkdf2-sha256$1000$0$00"),
          stored + "$extra"}) {
        EXPECT_FALSE(verifyPassword("secret", damaged)) << damaged;
    }
}

}  // namespace
}  // namespace kx::server
