#include "server/password_checks.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <algorithm>
#include <initializer_list>
#include <stdexcept>

#include "platform/runtime/vb_strings.h"
#include "server/password.h"

namespace kx::server {

namespace {

// HMAC-SHA256 under this process's secret of the length-prefixed parts: 32 bytes whatever the
// size of the input, and nothing of it readable.
std::string keyedHash(const std::string& secret, std::initializer_list<std::string> parts) {
    std::string message;
    for (const std::string& part : parts) {
        message += std::to_string(part.size()) + ":" + part;
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (HMAC(EVP_sha256(), secret.data(), static_cast<int>(secret.size()),
             reinterpret_cast<const unsigned char*>(message.data()), message.size(), digest,
             &length) == nullptr) {
        throw std::runtime_error("keyed hashing failed");
    }
    return std::string(reinterpret_cast<const char*>(digest), length);
}

}  // namespace

PasswordChecks::PasswordChecks(Verifier verify, Clock clock)
    : verify_(std::move(verify)), clock_(std::move(clock)), secret_(randomHex(32)) {}

std::string PasswordChecks::rememberedKey(const LoginAttempt& attempt,
                                          const std::string& storedHash) const {
    return keyedHash(secret_, {attempt.filerCode, attempt.login, attempt.password, storedHash});
}

// The catalog matches names without regard to case, and so do the counts of guesses.
std::string PasswordChecks::accountKey(const LoginAttempt& attempt) const {
    return keyedHash(secret_, {UCase(attempt.filerCode), UCase(attempt.login)});
}

std::string PasswordChecks::accountAddressKey(const LoginAttempt& attempt) const {
    return keyedHash(secret_,
                     {UCase(attempt.filerCode), UCase(attempt.login), attempt.clientAddress});
}

bool PasswordChecks::delayRuns(const std::string& key,
                               std::chrono::steady_clock::time_point now) const {
    const auto found = failures_.find(key);
    if (found == failures_.end() || found->second.count <= kFreeFailures) {
        return false;
    }
    const int doublings = std::min(found->second.count - kFreeFailures - 1, 5);
    return now - found->second.last < std::min(kFirstDelay * (1 << doublings), kLongestDelay);
}

PasswordChecks::Admission PasswordChecks::admit(const LoginAttempt& attempt) {
    const std::string key = accountAddressKey(attempt);
    const std::string account = accountKey(attempt);
    const auto now = clock_();
    std::lock_guard lock(mutex_);
    const auto known = knownAddresses_.find(key);
    const bool knownAddress =
        known != knownAddresses_.end() && now - known->second < kKnownAddressFor;
    if (inFlight_.count(key) != 0 || delayRuns(key, now) ||
        (accountFailures_.full(account, now) && !knownAddress) ||
        addressFailures_.full(attempt.clientAddress, now)) {
        return nullptr;
    }
    inFlight_.insert(key);
    // Any non-null pointer: the admission owns nothing but the in-flight entry.
    return Admission(this, [this, key](void*) {
        std::lock_guard released(mutex_);
        inFlight_.erase(key);
    });
}

PasswordVerdict PasswordChecks::check(const LoginAttempt& attempt, const std::string& storedHash,
                                      const PasswordCost& wanted) {
    const std::string key = rememberedKey(attempt, storedHash);
    PasswordVerdict verdict = PasswordVerdict::Wrong;
    if (!storedHash.empty()) {
        {
            std::lock_guard lock(mutex_);
            const auto found = remembered_.find(key);
            if (found != remembered_.end() && clock_() - found->second < kRememberFor) {
                verdict = PasswordVerdict::Right;
            }
        }
        // The slow part runs without the lock, so that checks of other logins go on meanwhile.
        if (verdict != PasswordVerdict::Right) {
            verdict = verify_(attempt.password, storedHash, wanted);
        }
    }
    const bool right =
        verdict == PasswordVerdict::Right || verdict == PasswordVerdict::RightButOutdated;
    const auto now = clock_();
    std::lock_guard lock(mutex_);
    if (right) {
        makeRoom(remembered_, [&](auto at) { return now - at >= kRememberFor; });
        remembered_.insert_or_assign(key, now);
        const std::string accountAddress = accountAddressKey(attempt);
        failures_.erase(accountAddress);
        makeRoom(knownAddresses_, [&](auto at) { return now - at >= kKnownAddressFor; });
        knownAddresses_.insert_or_assign(accountAddress, now);
    } else {
        recordFailure(attempt, now);
    }
    return verdict;
}

void PasswordChecks::recordFailure(const LoginAttempt& attempt,
                                   std::chrono::steady_clock::time_point now) {
    makeRoom(failures_, [&](const Failures& f) { return now - f.last >= kForgetFailuresAfter; });
    Failures& failures = failures_[accountAddressKey(attempt)];
    failures.count = now - failures.last >= kForgetFailuresAfter ? 1 : failures.count + 1;
    failures.last = now;
    accountFailures_.add(accountKey(attempt), now);
    addressFailures_.add(attempt.clientAddress, now);
}

}  // namespace kx::server
