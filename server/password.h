#pragma once
// Password hashing and random secrets. Passwords are kept only as PBKDF2-HMAC-SHA256 hashes with
// a random 16-byte salt; the stored text carries the iteration count so that it can be raised
// later without breaking existing users:  "pbkdf2-sha256$<iterations>$<salt hex>$<hash hex>".

#include <cstdint>
#include <string>

namespace kx::server {

inline constexpr std::uint32_t kDefaultPbkdf2Iterations = 210'000;
// A count beyond this is refused, and a stored one treated as damage rather than spending minutes
// on one login.
inline constexpr std::uint32_t kMaxPbkdf2Iterations = 10'000'000;

// A fresh salted hash of `password`. Throws std::runtime_error when OpenSSL fails.
std::string hashPassword(const std::string& password, std::uint32_t iterations);

// True when `password` matches `storedHash`; false for a wrong password and for a stored text
// that is not in the format above. The final comparison takes constant time.
bool verifyPassword(const std::string& password, const std::string& storedHash);

// `bytes` bytes from OpenSSL's generator as lower-case hex. Throws when the generator fails.
std::string randomHex(std::size_t bytes);

}  // namespace kx::server
