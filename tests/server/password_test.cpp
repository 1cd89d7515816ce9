// Stored passwords: salted slow hashes that verify only the right password, checked once per
// login, slower for repeated guesses, and never while other requests wait.

#include <gtest/gtest.h>

#include "server/catalog.h"
#include "server/password.h"
#include "server/password_checks.h"
#include "tests/server/server_fixture.h"
#include "tests/support/kxserver_harness.h"

namespace kx::server {
namespace {

using namespace std::chrono_literals;

using test::kTestPasswordCost;

// PBKDF2-HMAC-SHA256 of "passwd" with the salt "salt", one round, 64 bytes: the published test
// vector, in the form older catalogs stored.
std::string pbkdf2Hash() {
    return "pbkdf2-sha256$1$73616c74$"
           "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacb"
           "c49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783";
}

TEST(PasswordHash, Argon2idStringsAtTheirCostVerifyOnlyTheRightPassword) {
    EXPECT_THROW(hashPassword("x", {4, 1}), std::runtime_error);
    const std::string first = hashPassword("correct horse", kTestPasswordCost);
    EXPECT_NE(first, hashPassword("correct horse", kTestPasswordCost));  // a fresh salt each time
    EXPECT_TRUE(first.starts_with("$argon2id$v=19$m=64,t=1,p=1$")) << first;
    EXPECT_EQ(verifyPassword("correct horse", first, kTestPasswordCost), PasswordVerdict::Right);
    EXPECT_EQ(verifyPassword("correct horse", first, {64, 2}), PasswordVerdict::RightButOutdated);
    EXPECT_EQ(verifyPassword("correct horse", first, {128, 1}), PasswordVerdict::RightButOutdated);
    for (const char* wrong : {"Correct horse", "correct horse ", ""}) {
        EXPECT_EQ(verifyPassword(wrong, first, kTestPasswordCost), PasswordVerdict::Wrong) << wrong;
    }
    std::string flipped = first;
    flipped[flipped.size() - 2] = flipped[flipped.size() - 2] == 'A' ? 'B' : 'A';
    EXPECT_EQ(verifyPassword("correct horse", flipped, kTestPasswordCost), PasswordVerdict::Wrong);
    // Costs beyond what this server allows are never spent, whatever the string says; older
    // PBKDF2 strings are read as strictly.
    std::string costly = first;
    costly.replace(costly.find("m=64"), 4, "m=4194304");
    for (const std::string& damaged :
         {std::string(), std::string("secret"), costly, first.substr(0, first.size() - 10),
          first + "$x", std::string("$argon2id$v=19$m=64,t=1,p=1$$"), std::string("md5$1000$00$00"),
          std::string("pbkdf2-sha256$0$00$00"), std::string("pbkdf2-sha256$99999999999$00$00"),
          std::string("pbkdf2-sha256$1000$zz$00"), pbkdf2Hash() + "$extra"}) {
        EXPECT_EQ(verifyPassword("correct horse", damaged, kTestPasswordCost),
                  PasswordVerdict::Unreadable)
            << damaged;
    }
}

TEST(PasswordChecks, HashOncePerLoginAndAdmitGuessesOneAtATimeAfterTheirDelayAndFewAMinute) {
    int hashes = 0;
    auto now = std::chrono::steady_clock::now();
    PasswordChecks checks(
        [&](const std::string& password, const std::string&, const PasswordCost&) {
            ++hashes;
            return password == "right" ? PasswordVerdict::Right : PasswordVerdict::Wrong;
        },
        [&] { return now; });
    auto right = [&](const LoginAttempt& attempt, const std::string& stored) {
        return checks.check(attempt, stored, kTestPasswordCost) == PasswordVerdict::Right;
    };
    LoginAttempt alice{"ACME", "ALICE", "right", "10.0.0.1"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(right(alice, "stored-1"));
    }
    EXPECT_EQ(hashes, 1);
    EXPECT_TRUE(right(alice, "stored-2"));  // a new password of the account
    now += PasswordChecks::kRememberFor + 1s;
    EXPECT_TRUE(right(alice, "stored-2"));
    EXPECT_EQ(hashes, 3);

    LoginAttempt guess = alice;
    guess.password = "wrong";
    auto admitted = [&](const std::string& address) {
        LoginAttempt attempt = guess;
        attempt.clientAddress = address;
        return checks.admit(attempt) != nullptr;
    };
    // Two free failures, then each guess waits out a doubling delay.
    for (const auto delay : {0ms, 0ms, 250ms, 500ms}) {
        ASSERT_TRUE(admitted("10.0.0.1"));
        EXPECT_FALSE(right(guess, "stored-2"));
        now += delay / 2;
        EXPECT_EQ(admitted("10.0.0.1"), delay == 0ms);
        now += delay / 2;
    }
    // The fifth wrong password of the minute closes the account to every address but the one
    // its user logged in from.
    guess.clientAddress = "10.0.0.3";
    EXPECT_FALSE(right(guess, "stored-2"));
    EXPECT_EQ(hashes, 8);  // wrong passwords are never remembered
    EXPECT_FALSE(admitted("10.0.0.4"));
    now += 1s;
    EXPECT_TRUE(admitted("10.0.0.1"));
    now += 1min;
    EXPECT_TRUE(admitted("10.0.0.4"));
}

TEST(PasswordHash, NewCatalogsHashAtTheDefaultCostAndNewUsersFollowTheSetting) {
    kx::test::TempDir scratch;
    const std::string dir = (scratch / "c").string();
    kx::test::kxserver({"init", dir});
    kx::test::kxserver({"add-user", dir, "ACME", "ALICE", "pw"});
    kx::test::kxserver({"set-password-cost", dir, "--password-memory", "128"});
    kx::test::kxserver({"add-user", dir, "ACME", "BOB", "pw"});
    Catalog catalog(dir);
    EXPECT_TRUE(catalog.storedLogin("ACME", "ALICE")
                    ->passwordHash.starts_with("$argon2id$v=19$m=19456,t=2,p=1$"));
    EXPECT_TRUE(catalog.storedLogin("ACME", "BOB")
                    ->passwordHash.starts_with("$argon2id$v=19$m=128,t=2,p=1$"));
}

}  // namespace

namespace test {
namespace {

TEST_F(ServerTest, StoredHashesAreRenewedAtLoginAndDamagedOnesFailClosed) {
    auto setHash = [&](const std::string& hash) {
        Database(Catalog::fileIn(dir_.path()).string(), false)
            .prepare("UPDATE users SET password_hash = ? WHERE login = 'ALICE'")
            .bind(1, hash)
            .run();
    };
    auto storedHash = [&] {
        return Catalog(dir_.path()).storedLogin("ACME", "ALICE")->passwordHash;
    };
    auto valid = [&](const char* password) {
        return call(kServer1, "KXBO_V2.Init", "isValidLogin",
                    {"ACME", "ALICE", password, false, false})
            .body.at("result");
    };
    // An older PBKDF2 hash still verifies, and is always outdated.
    setHash(pbkdf2Hash());
    EXPECT_EQ(valid("Passwd"), false);
    EXPECT_EQ(valid("passwd"), true);
    EXPECT_TRUE(storedHash().starts_with("$argon2id$v=19$m=64,t=1,p=1$")) << storedHash();
    Catalog(dir_.path()).setPasswordCost({128, 2});
    EXPECT_EQ(valid("wrong"), false);
    EXPECT_EQ(valid("passwd"), true);
    EXPECT_TRUE(storedHash().starts_with("$argon2id$v=19$m=128,t=2,p=1$")) << storedHash();
    setHash("$argon2id$v=19$m=128,t=2,p=1$damaged");
    EXPECT_EQ(valid("passwd"), false);
    stopServer();
    EXPECT_TRUE(contains(log_.str(), "the stored password hash of ACME/ALICE is damaged"));
}

TEST_F(ServerTest, PasswordChecksDoNotHoldUpOtherRequests) {
    {
        // Each stored hash now costs a million rounds to refute.
        Database catalog(Catalog::fileIn(dir_.path()).string(), false);
        catalog.prepare("UPDATE users SET password_hash = ?")
            .bind(1, "pbkdf2-sha256$1000000$" + std::string(32, '0') + "$" + std::string(64, '0'))
            .run();
    }
    std::atomic<int> checked{0};
    std::vector<std::thread> guessers;
    for (const char* login : {"ALICE", "BOB"}) {
        guessers.emplace_back([&, login] {
            httplib::Client client(url_);
            // Its answer may come after the client's time-out (slow builds): only the load counts.
            client.Post(kServer1,
                        R"({"progid":"KXBO_V2.Init","method":"isValidLogin","args":["ACME",")" +
                            std::string(login) + R"(","guess",false,false]})",
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
