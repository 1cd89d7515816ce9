#pragma once
// Password checks of the running server. A launcher's login sends the same password with several
// calls; a check that succeeded is remembered for a short time, so that one login costs one slow
// hash. What is remembered is a keyed hash (a secret of this process) of the account, the
// password and the stored hash, never the password itself, and a new stored hash (a changed
// password) is never taken for the old one.
//
// Guessing is bounded whatever the number of connections. An attempt is checked only when
// admit() lets it through; any other is answered at once as a failed login, without hashing:
// - while a check of the same account from the same address is in flight;
// - while the delay runs that repeated wrong passwords for one account from one address earn
//   (growing from 0.25 s to 8 s after the first few);
// - once the account has had kAccountFailuresPerMinute wrong passwords in the current minute,
//   from whatever addresses, except from an address that logged in to it successfully lately,
//   so that a guesser elsewhere does not lock its user out;
// - once the address has had kAddressFailuresPerMinute wrong passwords in the current minute,
//   for whatever accounts: generous, since a whole office may log in through one address.
// Safe for concurrent use.

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "server/minute_counts.h"
#include "server/password.h"

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
    // Held while an admitted check is in flight; its end frees the account and address.
    using Admission = std::shared_ptr<void>;

    // How long a successful check is remembered.
    static constexpr std::chrono::seconds kRememberFor{120};
    // Wrong passwords in a row that are not slowed down: typing errors.
    static constexpr int kFreeFailures = 2;
    static constexpr std::chrono::milliseconds kFirstDelay{250};
    static constexpr std::chrono::milliseconds kLongestDelay{8000};
    // A run of failures is forgotten this long after its last failure.
    static constexpr std::chrono::minutes kForgetFailuresAfter{15};
    static constexpr int kAccountFailuresPerMinute = 5;
    static constexpr int kAddressFailuresPerMinute = 100;
    // An address keeps its way to an account this long after a successful login to it.
    static constexpr std::chrono::hours kKnownAddressFor{24 * 30};

    // `verify` is the slow hash check (verifyPassword); `clock` tells the time.
    explicit PasswordChecks(Verifier verify, Clock clock = std::chrono::steady_clock::now);

    // Null when the attempt is to be answered as a failed login without a check (see above);
    // otherwise the attempt counts as in flight until the admission is released.
    Admission admit(const LoginAttempt& attempt);
    // Whether the attempt's password is right for `storedHash` ("" for an unknown account: always
    // Wrong, without hashing); `wanted` is the catalog's cost (verifyPassword). Records the
    // outcome for admit(): anything but a right password counts as a wrong one.
    PasswordVerdict check(const LoginAttempt& attempt, const std::string& storedHash,
                          const PasswordCost& wanted);

  private:
    struct Failures {
        int count = 0;
        std::chrono::steady_clock::time_point last;
    };

    std::string rememberedKey(const LoginAttempt& attempt, const std::string& storedHash) const;
    std::string accountKey(const LoginAttempt& attempt) const;
    std::string accountAddressKey(const LoginAttempt& attempt) const;
    bool delayRuns(const std::string& key, std::chrono::steady_clock::time_point now) const;
    void recordFailure(const LoginAttempt& attempt, std::chrono::steady_clock::time_point now);

    Verifier verify_;
    Clock clock_;
    std::string secret_;
    mutable std::mutex mutex_;
    std::unordered_map<std::string, std::chrono::steady_clock::time_point> remembered_;
    std::unordered_map<std::string, Failures> failures_;
    std::unordered_map<std::string, std::chrono::steady_clock::time_point> knownAddresses_;
    std::unordered_set<std::string> inFlight_;
    MinuteCounts accountFailures_{kAccountFailuresPerMinute};
    MinuteCounts addressFailures_{kAddressFailuresPerMinute};
};

}  // namespace kx::server
