#include "password.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <charconv>
#include <limits>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace kx::server {

namespace {

constexpr std::size_t kSaltBytes = 16;
constexpr std::size_t kHashBytes = 32;
constexpr std::string_view kScheme = "pbkdf2-sha256";
// A stored count beyond this is treated as damage rather than spending minutes on one login.
constexpr std::uint32_t kMaxIterations = 10'000'000;

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

std::vector<unsigned char> derive(const std::string& password,
                                  const std::vector<unsigned char>& salt, std::uint32_t iterations,
                                  std::size_t length) {
    if (password.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        throw std::runtime_error("password too long");
    }
    std::vector<unsigned char> out(length);
    if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt.data(),
                          static_cast<int>(salt.size()), static_cast<int>(iterations), EVP_sha256(),
                          static_cast<int>(out.size()), out.data()) != 1) {
        throw std::runtime_error("password hashing failed");
    }
    return out;
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

}  // namespace

std::string randomHex(std::size_t bytes) {
    std::vector<unsigned char> buffer(bytes);
    if (bytes > static_cast<std::size_t>(std::numeric_limits<int>::max()) ||
        RAND_bytes(buffer.data(), static_cast<int>(bytes)) != 1) {
        throw std::runtime_error("the random generator failed");
    }
    return toHex(buffer);
}

std::string hashPassword(const std::string& password, std::uint32_t iterations) {
    if (iterations == 0 || iterations > kMaxIterations) {
        throw std::runtime_error("iteration count out of range");
    }
    std::vector<unsigned char> salt(kSaltBytes);
    if (RAND_bytes(salt.data(), static_cast<int>(salt.size())) != 1) {
        throw std::runtime_error("the random generator failed");
    }
    const auto hash = derive(password, salt, iterations, kHashBytes);
    return std::string(kScheme) + "$" + std::to_string(iterations) + "$" + toHex(salt) + "$" +
           toHex(hash);
}

bool verifyPassword(const std::string& password, const std::string& storedHash) {
    const auto fields = splitFields(storedHash);
    if (fields.size() != 4 || fields[0] != kScheme) {
        return false;
    }
    std::uint32_t iterations = 0;
    const auto [end, ec] =
        std::from_chars(fields[1].data(), fields[1].data() + fields[1].size(), iterations);
    if (ec != std::errc() || end != fields[1].data() + fields[1].size() || iterations == 0 ||
        iterations > kMaxIterations) {
        return false;
    }
    std::vector<unsigned char> salt;
    std::vector<unsigned char> expected;
    if (!fromHex(fields[2], salt) || !fromHex(fields[3], expected) || salt.empty() ||
        expected.empty() || expected.size() > 64) {
        return false;
    }
    const auto actual = derive(password, salt, iterations, expected.size());
    return CRYPTO_memcmp(actual.data(), expected.data(), expected.size()) == 0;
}

}  // namespace kx::server
