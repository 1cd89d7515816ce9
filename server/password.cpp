#include "server/password.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <sodium.h>

#include <charconv>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace kx::server {

namespace {

constexpr std::string_view kPbkdf2Scheme = "pbkdf2-sha256";
// A PBKDF2 count beyond this is treated as damage rather than spending minutes on one login.
constexpr std::uint32_t kMaxPbkdf2Iterations = 10'000'000;
constexpr std::string_view kArgon2Prefix = crypto_pwhash_argon2id_STRPREFIX;

void requireSodium() {
    static const bool ready = sodium_init() >= 0;
    if (!ready) {
        throw std::runtime_error("libsodium could not be initialised");
    }
}

std::string toHex(const std::vector<unsigned char>& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (unsigned char byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

bool fromHex(std::string_view text, std::vector<unsigned char>& bytes) {
    if (text.size() % 2 != 0) {
        return false;
    }
    bytes.clear();
    for (std::size_t i = 0; i < text.size(); i += 2) {
        unsigned value = 0;
        const auto [end, ec] = std::from_chars(text.data() + i, text.data() + i + 2, value, 16);
        if (ec != std::errc() || end != text.data() + i + 2) {
            return false;
        }
        bytes.push_back(static_cast<unsigned char>(value));
    }
    return true;
}

std::vector<std::string_view> splitFields(std::string_view text) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t pos = text.find('$', start);
        fields.push_back(text.substr(start, pos == std::string_view::npos ? pos : pos - start));
        if (pos == std::string_view::npos) {
            return fields;
        }
        start = pos + 1;
    }
}

std::optional<std::uint32_t> wholeNumber(std::string_view text) {
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// The number after "<name>=" in an Argon2id parameter list such as "m=19456,t=2,p=1".
std::optional<std::uint32_t> argon2Parameter(std::string_view parameters, std::string_view name) {
    for (std::size_t start = 0; start <= parameters.size();) {
        const std::size_t end = std::min(parameters.find(',', start), parameters.size());
        const std::string_view pair = parameters.substr(start, end - start);
        if (pair.size() > name.size() && pair.starts_with(name) && pair[name.size()] == '=') {
            return wholeNumber(pair.substr(name.size() + 1));
        }
        start = end + 1;
    }
    return std::nullopt;
}

// The cost an Argon2id string was made at, when its parameters can be read.
std::optional<PasswordCost> argon2Cost(std::string_view stored) {
    const auto fields = splitFields(stored);  // "", "argon2id", "v=19", parameters, salt, hash
    if (fields.size() != 6) {
        return std::nullopt;
    }
    const auto memory = argon2Parameter(fields[3], "m");
    const auto passes = argon2Parameter(fields[3], "t");
    if (!memory || !passes) {
        return std::nullopt;
    }
    return PasswordCost{*memory, *passes};
}

PasswordVerdict verifyArgon2(const std::string& password, const std::string& stored,
                             const PasswordCost& wanted) {
    const auto cost = argon2Cost(stored);
    // The string's own cost is what checking it takes: it is bounded before libsodium spends it.
    if (stored.size() >= crypto_pwhash_STRBYTES || !cost || !cost->inRange()) {
        return PasswordVerdict::Unreadable;
    }
    const int outdated = crypto_pwhash_str_needs_rehash(stored.c_str(), wanted.passes,
                                                        std::size_t{wanted.memoryKiB} * 1024);
    if (outdated < 0) {
        return PasswordVerdict::Unreadable;
    }
    if (crypto_pwhash_str_verify(stored.c_str(), password.data(), password.size()) != 0) {
        return PasswordVerdict::Wrong;
    }
    return outdated == 0 ? PasswordVerdict::Right : PasswordVerdict::RightButOutdated;
}

// A hash of an older catalog: right ones are always outdated.
PasswordVerdict verifyPbkdf2(const std::string& password, std::string_view stored) {
    const auto fields = splitFields(stored);
    if (fields.size() != 4 || fields[0] != kPbkdf2Scheme) {
        return PasswordVerdict::Unreadable;
    }
    const auto iterations = wholeNumber(fields[1]);
    std::vector<unsigned char> salt;
    std::vector<unsigned char> expected;
    if (!iterations || *iterations == 0 || *iterations > kMaxPbkdf2Iterations ||
        !fromHex(fields[2], salt) || !fromHex(fields[3], expected) || salt.empty() ||
        expected.empty() || expected.size() > 64 || salt.size() > 1024 ||
        password.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        return PasswordVerdict::Unreadable;
    }
    std::vector<unsigned char> actual(expected.size());
    if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt.data(),
                          static_cast<int>(salt.size()), static_cast<int>(*iterations),
                          EVP_sha256(), static_cast<int>(actual.size()), actual.data()) != 1) {
        throw std::runtime_error("PBKDF2 failed");
    }
    return CRYPTO_memcmp(actual.data(), expected.data(), expected.size()) == 0
               ? PasswordVerdict::RightButOutdated
               : PasswordVerdict::Wrong;
}

}  // namespace

bool PasswordCost::inRange() const {
    return memoryKiB >= kMinPasswordCost.memoryKiB && memoryKiB <= kMaxPasswordCost.memoryKiB &&
           passes >= kMinPasswordCost.passes && passes <= kMaxPasswordCost.passes;
}

std::string randomHex(std::size_t bytes) {
    std::vector<unsigned char> buffer(bytes);
    if (bytes > static_cast<std::size_t>(std::numeric_limits<int>::max()) ||
        RAND_bytes(buffer.data(), static_cast<int>(bytes)) != 1) {
        throw std::runtime_error("the random generator failed");
    }
    return toHex(buffer);
}

std::string hashPassword(const std::string& password, const PasswordCost& cost) {
    if (!cost.inRange()) {
        throw std::runtime_error("password cost out of range");
    }
    requireSodium();
    char text[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(text, password.data(), password.size(), cost.passes,
                              std::size_t{cost.memoryKiB} * 1024,
                              crypto_pwhash_ALG_ARGON2ID13) != 0) {
        throw std::runtime_error("password hashing failed (out of memory?)");
    }
    return text;
}

PasswordVerdict verifyPassword(const std::string& password, const std::string& storedHash,
                               const PasswordCost& wanted) {
    requireSodium();
    if (storedHash.starts_with(kArgon2Prefix)) {
        return verifyArgon2(password, storedHash, wanted);
    }
    return verifyPbkdf2(password, storedHash);
}

}  // namespace kx::server
