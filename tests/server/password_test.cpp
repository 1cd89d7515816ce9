// Stored passwords: salted slow hashes that verify only the right password, checked once per
// login, slower for repeated guesses, and never while other requests wait.

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <regex>

#include "catalog.h"
#include "password.h"
#include "password_checks.h"
#include "server_fixture.h"

namespace kx::server {
namespace {

using namespace std::chrono_literals;

TEST(PasswordHash, IsSlowAndStoresNeitherThePasswordNorTheSameTextTwice) {
    EXPECT_GE(kDefaultPbkdf2Iterations, 200'000u);
    EXPECT_THROW(hashPassword("x", 0), std::runtime_error);

    const std::string password = "correct horse";
    const std::string first = hashPassword(password, 1000);
    const std::string second = hashPassword(password, 1000);
    EXPECT_NE(first, second);  // a fresh salt each time
    // scheme, iterations, 16-byte salt and 32-byte hash in hex: nothing of the password
    const std::regex format(R"(pbkdf2-sha256\$1000\$[0-9a-f]{32}\$[0-9a-f]{64})");
    EXPECT_TRUE(std::regex_match(first, format)) << first;
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

TEST(PasswordHash, AgreesWithOpenSslsKeyDerivation) {
    const std::string salt = "0123456789abcdef";
    auto hex = [](const auto& bytes) {
        std::string text;
        for (const auto byte : bytes) {
            const auto c = static_cast<unsigned char>(byte);
            text += "0123456789abcdef"[c >> 4];
            text += "0123456789abcdef"[c & 15];
        }
        return text;
    };
    for (const std::string& password :
         {std::string(), std::string("pw"), std::string(64, 'p'), std::string(100, 'q')}) {
        for (const int iterations : {1, 2, 1000}) {
            for (const int length : {32, 64}) {  // one block of output, and two
                std::vector<unsigned char> hash(static_cast<std::size_t>(length));
                PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                                  reinterpret_cast<const unsigned char*>(salt.data()),
                                  static_cast<int>(salt.size()), iterations, EVP_sha256(), length,
                                  hash.data());
                const std::string stored = "pbkdf2-sha256$" + std::to_string(iterations) + "$" +
                                           hex(salt) + "$" + hex(hash);
                EXPECT_TRUE(verifyPassword(password, stored))
                    << password.size() << " " << iterations;
                EXPECT_FALSE(verifyPassword(password + "x", stored));
            }
        }
    }
}

TEST(PasswordChecks, HashOncePerLoginAndSlowRepeatedGuessesOfOneAccountAndAddress) {
    int hashes = 0;
    auto now = std::chrono::steady_clock::now();
    PasswordChecks checks(
        [&](const std::string& password, const std::string&) {
            ++hashes;
            return password == "right";
        },
        [&] { return now; });
    LoginAttempt alice{"ACME", "ALICE", "right", "10.0.0.1"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(checks.check(alice, "stored-1"));
    }
    EXPECT_EQ(hashes, 1);
    EXPECT_TRUE(checks.check(alice, "stored-2"));  // a new password of the account
    now += PasswordChecks::kRememberFor + 1s;
    EXPECT_TRUE(checks.check(alice, "stored-2"));
    EXPECT_EQ(hashes, 3);

    LoginAttempt guess = alice;
    guess.password = "wrong";
    std::chrono::milliseconds previous{0};
    for (int i = 0; i < 6; ++i) {
        EXPECT_FALSE(checks.check(guess, "stored-2"));
        const auto delay = checks.delayFor(guess);
        EXPECT_TRUE(i < 2 ? delay == 0ms : delay > previous) << i;
        previous = delay;
    }
    EXPECT_EQ(hashes, 9);  // wrong passwords are never remembered
    LoginAttempt elsewhere = alice;
    elsewhere.clientAddress = "10.0.0.2";
    EXPECT_EQ(checks.delayFor(elsewhere), 0ms);
    // The real user is slowed with the guesser at the same address, never locked out.
    EXPECT_TRUE(checks.check(alice, "stored-2"));
    EXPECT_EQ(checks.delayFor(guess), 0ms);
}

}  // namespace

namespace test {
namespace {

TEST_F(ServerTest, PasswordChecksDoNotHoldUpOtherRequests) {
    {
        // BOB's stored hash now costs some three million rounds to refute.
        Database catalog(Catalog::fileIn(dir_.path()).string(), false);
        catalog.prepare("UPDATE users SET password_hash = ? WHERE login = 'BOB'")
            .bind(1, "pbkdf2-sha256$3000000$" + std::string(32, '0') + "$" + std::string(64, '0'))
            .run();
    }
    std::atomic<int> checked{0};
    std::vector<std::thread> guessers;
    for (int i = 0; i < 2; ++i) {
        guessers.emplace_back([&] {
            httplib::Client client(url_);
            // Its answer may come after the client's time-out (slow builds): only the load counts.
            client.Post(kServer1,
                        R"({"progid":"KXBO_V2.Init","method":"isValidLogin",)"
                        R"("args":["ACME","BOB","guess",false,false]})",
                        "application/json");
            ++checked;
        });
    }
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(client_->Get("/bo/server1/BROKER/InstallFiles/10/a.txt")->body, "alpha");
    EXPECT_EQ(call("/", "KXBO_V2.Init", "GetLoginServersXML", {"ACME", "ALICE"}).status, 200);
    EXPECT_EQ(checked, 0);
    for (auto& guesser : guessers) {
        guesser.join();
    }
}

}  // namespace
}  // namespace test
}  // namespace kx::server
