#pragma once
// Password checks of the running server. A launcher's login sends the same password with several
// calls; a check that succeeded is remembered for a short time, so that one login costs one slow
// hash. What is remembered is a keyed hash (a secret of this process) of the account, the
// password and the stored hash, never the password itself, and a new stored hash (a changed
// password) is never taken for the old one.
//
// Repeated wrong passwords for one account from one address are slowed down with a growing delay
// that the server waits (without holding a worker) before checking the next attempt. The right
// password is still accepted after the delay, so a guesser cannot lock a user out, and the same
// account from another address is not slowed at all. Safe for concurrent use.

#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>

#include "password.h"

namespace kx::server {

struct LoginAttempt {
    std::string filerCode;
    std::string login;
    std::string password;
    std::string clientAddress;
};

class PasswordChecks {
  public:
    using Verifier = std::function<PasswordVerdict(
        const std::string& password, const std::string& stored, const PasswordCost& wanted)>;
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // How long a successful check is remembered.
    static constexpr std::chrono::seconds kRememberFor{120};
    // Wrong passwords in a row that are not slowed down: typing errors.
    static constexpr int kFreeFailures = 2;
    static constexpr std::chrono::milliseconds kFirstDelay{250};
    static constexpr std::chrono::milliseconds kLongestDelay{8000};
    // A run of failures is forgotten this long after its last failure.
    static constexpr std::chrono::minutes kForgetFailuresAfter{15};

    // `verify` is the slow hash check (verifyPassword); `clock` tells the time.
    explicit PasswordChecks(Verifier verify, Clock clock = std::chrono::steady_clock::now);

    // Whether the attempt's password is right for `storedHash` ("" for an unknown account: always
    // Wrong, without hashing); `wanted` is the catalog's cost (verifyPassword). Records the
    // outcome for delayFor(): anything but a right password counts as a wrong one.
    PasswordVerdict check(const LoginAttempt& attempt, const std::string& storedHash,
                          const PasswordCost& wanted);
    // How long to wait before checking this attempt: zero unless its account has had more than
    // kFreeFailures wrong passwords in a row from its address.
    std::chrono::milliseconds delayFor(const LoginAttempt& attempt) const;

  private:
    struct Failures {
        int count = 0;
        std::chrono::steady_clock::time_point last;
    };

    std::string rememberedKey(const LoginAttempt& attempt, const std::string& storedHash) const;
    std::string failureKey(const LoginAttempt& attempt) const;

    Verifier verify_;
    Clock clock_;
    std::string secret_;
    mutable std::mutex mutex_;
    std::unordered_map<std::string, std::chrono::steady_clock::time_point> remembered_;
    std::unordered_map<std::string, Failures> failures_;
};

}  // namespace kx::server
