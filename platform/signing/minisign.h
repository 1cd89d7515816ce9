#pragma once
// Ed25519 signatures in the format of the minisign tool, made and checked with OpenSSL: public
// keys and signature files that `minisign -V` reads, and the secret keys they are made with.
//
// Public key: base64 of "Ed" + key id (8 bytes) + Ed25519 public key (32 bytes), one line; a key
// file puts the line "untrusted comment: ..." above it.
// Signature file, four lines:
//   untrusted comment: <text>
//   base64("ED" + key id + Ed25519 signature of the BLAKE2b-512 digest of the message)
//   trusted comment: <text>
//   base64(Ed25519 signature of the 64 signature bytes followed by the trusted comment's text)
// This is what minisign makes by default; its older kind ("Ed", signing the message itself) is
// neither made nor read.
//
// Secret keys are kept in a file of our own making, "untrusted comment: ..." above
// base64("Ed" + key id + the 32-byte Ed25519 seed): minisign's secret key files need a checksum
// that OpenSSL cannot compute, and the key never leaves the machine that signs.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kx::signing {

using KeyId = std::array<std::uint8_t, 8>;
using Ed25519Signature = std::array<std::uint8_t, 64>;

struct PublicKey {
    KeyId id{};
    std::array<std::uint8_t, 32> key{};
};

// The key of a public key line, or of a key file's text (its comment line, then the key line);
// surrounding whitespace is ignored. Nullopt for anything else.
std::optional<PublicKey> parsePublicKey(std::string_view text);
std::string publicKeyLine(const PublicKey& key);
// A key file: "untrusted comment: minisign public key <ID>", the key line, each ending in "\n".
std::string publicKeyFile(const PublicKey& key);
// The key id as minisign prints it: 16 upper-case hex digits of the little-endian number.
std::string keyIdText(const KeyId& id);

class SecretKey {
  public:
    // A new key pair and key id from the system's random source. Throws std::runtime_error when
    // OpenSSL cannot make one.
    static SecretKey generate();
    // The key a secret key file holds; nullopt when the text is not such a file.
    static std::optional<SecretKey> parse(std::string_view text);

    SecretKey(const SecretKey&) = default;
    SecretKey& operator=(const SecretKey&) = default;
    // The seed is wiped from memory.
    ~SecretKey();

    // The secret key file's text.
    std::string fileText() const;
    const PublicKey& publicKey() const { return public_; }

    // The signature file of `message`, with `trustedComment` (one line: a CR or LF in it throws
    // std::invalid_argument). Throws std::runtime_error when OpenSSL fails.
    std::string sign(std::string_view message, std::string_view trustedComment) const;

  private:
    SecretKey() = default;

    std::array<std::uint8_t, 32> seed_{};
    PublicKey public_;
};

struct SignatureFile {
    KeyId keyId{};
    Ed25519Signature signature{};
    std::string trustedComment;
    Ed25519Signature commentSignature{};
};

// Reads a signature file (line ends LF or CR LF). On failure nullopt, and `why` says what is
// wrong with it.
std::optional<SignatureFile> parseSignatureFile(std::string_view text, std::string& why);

// Checks the trusted comment's signature, then the signature of `message`, against `key` (whose
// id the caller has matched). "" when both hold, else which one does not.
std::string verifySignature(const PublicKey& key, const SignatureFile& file,
                            std::string_view message);

}  // namespace kx::signing
