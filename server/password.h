#pragma once
// Password hashing and random secrets. New passwords are stored as Argon2id strings made by
// libsodium, which carry their own salt and cost settings:
//     "$argon2id$v=19$m=<KiB>,t=<passes>,p=1$<salt>$<hash>".
// Hashes of older catalogs, PBKDF2-HMAC-SHA256 as "pbkdf2-sha256$<iterations>$<salt hex>$<hash
// hex>", are still accepted; a login that proves one right replaces it with an Argon2id string,
// as it replaces an Argon2id string made at other cost settings than the catalog's.

#include <cstdint>
#include <string>

namespace kx::server {

// What hashing one password costs: the memory Argon2id fills and the passes it makes over it.
// libsodium's Argon2id always works on one lane.
struct PasswordCost {
    std::uint32_t memoryKiB = 0;
    std::uint32_t passes = 0;
    bool operator==(const PasswordCost&) const = default;
    // Within kMinPasswordCost and kMaxPasswordCost.
    bool inRange() const;
};

// The default for new catalogs: the smallest of the settings that current guidance recommends
// for Argon2id (19 MiB, two passes), which keeps a login's check near 30 ms on one core.
inline constexpr PasswordCost kDefaultPasswordCost{19 * 1024, 2};
// The range a catalog's setting, and a stored hash's, may take. A stored hash beyond it is
// treated as damage rather than letting one login take gigabytes or minutes.
inline constexpr PasswordCost kMinPasswordCost{8, 1};
inline constexpr PasswordCost kMaxPasswordCost{1024 * 1024, 64};

// A fresh Argon2id string for `password` at `cost`. Throws std::runtime_error when the cost is
// out of range or libsodium fails (out of memory).
std::string hashPassword(const std::string& password, const PasswordCost& cost);

enum class PasswordVerdict {
    Wrong,
    Right,
    // Right, and the stored hash should be replaced by one at the catalog's cost.
    RightButOutdated,
    // The stored text is no hash this server can check: never right.
    Unreadable,
};

// Checks `password` against `storedHash`; `wanted` is the catalog's cost, against which an
// Argon2id string is judged outdated. Comparisons take constant time.
PasswordVerdict verifyPassword(const std::string& password, const std::string& storedHash,
                               const PasswordCost& wanted);

// `bytes` bytes from OpenSSL's generator as lower-case hex. Throws when the generator fails.
std::string randomHex(std::size_t bytes);

}  // namespace kx::server
