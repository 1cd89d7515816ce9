#include "password.h"

// The one-block SHA-256 transform is what makes the key derivation below fast; OpenSSL 3 marks
// its low-level digest functions deprecated but keeps them, and has no faster replacement.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/crypto.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <algorithm>
#include <array>
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

// The SHA-256 state after one 64-byte block of the HMAC key XOR-ed with `pad`.
SHA256_CTX keyedState(const std::array<unsigned char, 64>& key, unsigned char pad) {
    std::array<unsigned char, 64> block{};
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<unsigned char>(key[i] ^ pad);
    }
    SHA256_CTX state;
    SHA256_Init(&state);
    SHA256_Update(&state, block.data(), block.size());
    return state;
}

// The digest held in a state whose input ended exactly at a block boundary.
void stateBytes(const SHA256_CTX& state, unsigned char* out) {
    for (std::size_t i = 0; i < 8; ++i) {
        for (std::size_t b = 0; b < 4; ++b) {
            out[4 * i + b] = static_cast<unsigned char>(state.h[i] >> (24 - 8 * b));
        }
    }
}

// PBKDF2-HMAC-SHA256 as RFC 8018 defines it, with the HMAC key's inner and outer states computed
// once: every further round is then two SHA-256 block transforms of a 32-byte digest padded to a
// block. OpenSSL 3's own PBKDF2 sets up digest contexts each round, which makes it more than twice
// as slow and keeps two threads from hashing faster than one; the results are the same.
std::vector<unsigned char> derive(const std::string& password,
                                  const std::vector<unsigned char>& salt, std::uint32_t iterations,
                                  std::size_t length) {
    std::array<unsigned char, 64> key{};
    if (password.size() > key.size()) {
        SHA256(reinterpret_cast<const unsigned char*>(password.data()), password.size(),
               key.data());
    } else {
        std::copy(password.begin(), password.end(), key.begin());
    }
    const SHA256_CTX inner = keyedState(key, 0x36);
    const SHA256_CTX outer = keyedState(key, 0x5C);
    // A digest after a key block: 32 bytes, the end marker, and the length of 96 bytes in bits.
    std::array<unsigned char, 64> padded{};
    padded[32] = 0x80;
    padded[62] = 0x03;
    std::vector<unsigned char> out;
    for (std::uint32_t blockIndex = 1; out.size() < length; ++blockIndex) {
        const unsigned char index[4] = {static_cast<unsigned char>(blockIndex >> 24),
                                        static_cast<unsigned char>(blockIndex >> 16),
                                        static_cast<unsigned char>(blockIndex >> 8),
                                        static_cast<unsigned char>(blockIndex)};
        std::array<unsigned char, 32> u{};
        SHA256_CTX state = inner;
        SHA256_Update(&state, salt.data(), salt.size());
        SHA256_Update(&state, index, sizeof index);
        SHA256_Final(u.data(), &state);
        state = outer;
        SHA256_Update(&state, u.data(), u.size());
        SHA256_Final(u.data(), &state);
        std::array<unsigned char, 32> sum = u;
        for (std::uint32_t round = 1; round < iterations; ++round) {
            std::copy(u.begin(), u.end(), padded.begin());
            state = inner;
            SHA256_Transform(&state, padded.data());
            stateBytes(state, padded.data());
            state = outer;
            SHA256_Transform(&state, padded.data());
            stateBytes(state, u.data());
            for (std::size_t i = 0; i < sum.size(); ++i) {
                sum[i] ^= u[i];
            }
        }
        out.insert(
            out.end(), sum.begin(),
            sum.begin() + static_cast<std::ptrdiff_t>(std::min(sum.size(), length - out.size())));
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
    if (iterations == 0 || iterations > kMaxPbkdf2Iterations) {
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
        iterations > kMaxPbkdf2Iterations) {
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
