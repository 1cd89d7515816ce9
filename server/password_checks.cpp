#include "password_checks.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <algorithm>
#include <initializer_list>
#include <stdexcept>

#include "password.h"
#include "vb_strings.h"

namespace kx::server {

namespace {

// Both tables stop growing here; a full table first loses its stale entries, then all of them.
constexpr std::size_t kMaxEntries = 10'000;

template <typename Value, typename IsStale>
void makeRoom(std::unordered_map<std::string, Value>& table, IsStale isStale) {
    if (table.size() < kMaxEntries) {
        return;
    }
    std::erase_if(table, [&](const auto& entry) { return isStale(entry.second); });
    if (table.size() >= kMaxEntries) {
        table.clear();
    }
}

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

std::string PasswordChecks::failureKey(const LoginAttempt& attempt) const {
    // The catalog matches names without regard to case, and so does the count of guesses.
    return keyedHash(secret_,
                     {UCase(attempt.filerCode), UCase(attempt.login), attempt.clientAddress});
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
        failures_.erase(failureKey(attempt));
    } else {
        makeRoom(failures_,
                 [&](const Failures& f) { return now - f.last >= kForgetFailuresAfter; });
        Failures& failures = failures_[failureKey(attempt)];
        failures.count = now - failures.last >= kForgetFailuresAfter ? 1 : failures.count + 1;
        failures.last = now;
    }
    return verdict;
}

std::chrono::milliseconds PasswordChecks::delayFor(const LoginAttempt& attempt) const {
    const std::string key = failureKey(attempt);
    std::lock_guard lock(mutex_);
    const auto found = failures_.find(key);
    if (found == failures_.end() || found->second.count <= kFreeFailures ||
        clock_() - found->second.last >= kForgetFailuresAfter) {
        return std::chrono::milliseconds(0);
    }
    const int doublings = std::min(found->second.count - kFreeFailures - 1, 5);
    return std::min(kFirstDelay * (1 << doublings), kLongestDelay);
}

}  // namespace kx::server
