#include "platform/signing/minisign.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <vector>

#include "platform/text/ascii_text.h"

namespace kx::signing {

namespace {

constexpr std::string_view kCommentPrefix = "untrusted comment: ";
constexpr std::string_view kTrustedPrefix = "trusted comment: ";
constexpr std::string_view kKeyAlgorithm = "Ed";
constexpr std::string_view kPrehashedAlgorithm = "ED";
constexpr std::size_t kBlake2bBytes = 64;

using Bytes = std::vector<std::uint8_t>;

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct ContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, KeyFree>;
using ContextPtr = std::unique_ptr<EVP_MD_CTX, ContextFree>;

[[noreturn]] void fail(const char* what) {
    throw std::runtime_error(std::string("OpenSSL cannot ") + what);
}

std::string base64(const Bytes& bytes) {
    std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes.data(),
                                       static_cast<int>(bytes.size()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

// The bytes of canonical base64 text that decodes to exactly `expectedSize` bytes.
std::optional<Bytes> fromBase64(std::string_view text, std::size_t expectedSize) {
    const bool usable =
        !text.empty() && text.size() % 4 == 0 && text.size() < 4096 &&
        std::all_of(text.begin(), text.end(), [](char c) {
            return ascii::isLetter(c) || ascii::isDigit(c) || c == '+' || c == '/' || c == '=';
        });
    if (!usable) {
        return std::nullopt;
    }
    const std::size_t padding = text.ends_with("==") ? 2 : text.ends_with('=') ? 1 : 0;
    Bytes bytes(text.size() / 4 * 3);
    const int length =
        EVP_DecodeBlock(bytes.data(), reinterpret_cast<const unsigned char*>(text.data()),
                        static_cast<int>(text.size()));
    if (length < 0 || static_cast<std::size_t>(length) != bytes.size() ||
        bytes.size() - padding != expectedSize) {
        return std::nullopt;
    }
    bytes.resize(expectedSize);
    // Only the canonical spelling is accepted: the same bytes must give back the same text.
    if (base64(bytes) != text) {
        return std::nullopt;
    }
    return bytes;
}

template <std::size_t N>
void copyOut(const Bytes& from, std::size_t offset, std::array<std::uint8_t, N>& to) {
    std::copy_n(from.begin() + static_cast<std::ptrdiff_t>(offset), N, to.begin());
}

template <std::size_t N>
void append(Bytes& to, const std::array<std::uint8_t, N>& from) {
    to.insert(to.end(), from.begin(), from.end());
}

Bytes algorithmBytes(std::string_view algorithm) {
    return Bytes(algorithm.begin(), algorithm.end());
}

// The lines of a small text file, without their ends (LF, or CR LF); the last line may lack one.
std::vector<std::string_view> linesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return lines;
}

// The key line of a key file's text, or the text itself when it is a single line.
std::optional<std::string_view> keyLineOf(std::string_view text) {
    const auto lines = linesOf(ascii::trimWhitespace(text));
    if (lines.size() == 1) {
        return ascii::trimWhitespace(lines[0]);
    }
    if (lines.size() == 2 && lines[0].starts_with(kCommentPrefix)) {
        return ascii::trimWhitespace(lines[1]);
    }
    return std::nullopt;
}

Ed25519Signature signBytes(const std::array<std::uint8_t, 32>& seed, const void* data,
                           std::size_t size) {
    const KeyPtr key(
        EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, seed.data(), seed.size()));
    const ContextPtr context(EVP_MD_CTX_new());
    Ed25519Signature signature{};
    std::size_t length = signature.size();
    if (!key || !context ||
        EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1 ||
        EVP_DigestSign(context.get(), signature.data(), &length,
                       static_cast<const unsigned char*>(data), size) != 1 ||
        length != signature.size()) {
        fail("make an Ed25519 signature");
    }
    return signature;
}

bool verifyBytes(const PublicKey& key, const Ed25519Signature& signature, const void* data,
                 std::size_t size) {
    const KeyPtr publicKey(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, key.key.data(), key.key.size()));
    const ContextPtr context(EVP_MD_CTX_new());
    return publicKey && context &&
           EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, publicKey.get()) == 1 &&
           EVP_DigestVerify(context.get(), signature.data(), signature.size(),
                            static_cast<const unsigned char*>(data), size) == 1;
}

std::array<std::uint8_t, kBlake2bBytes> blake2b512(std::string_view message) {
    std::array<std::uint8_t, kBlake2bBytes> digest{};
    unsigned int length = 0;
    if (EVP_Digest(message.data(), message.size(), digest.data(), &length, EVP_blake2b512(),
                   nullptr) != 1 ||
        length != digest.size()) {
        fail("compute a BLAKE2b-512 digest");
    }
    return digest;
}

Bytes commentMessage(const Ed25519Signature& signature, std::string_view trustedComment) {
    Bytes message(signature.begin(), signature.end());
    message.insert(message.end(), trustedComment.begin(), trustedComment.end());
    return message;
}

}  // namespace

std::optional<PublicKey> parsePublicKey(std::string_view text) {
    const auto line = keyLineOf(text);
    const auto bytes = line ? fromBase64(*line, 42) : std::nullopt;
    if (!bytes || !std::equal(kKeyAlgorithm.begin(), kKeyAlgorithm.end(), bytes->begin())) {
        return std::nullopt;
    }
    PublicKey key;
    copyOut(*bytes, 2, key.id);
    copyOut(*bytes, 10, key.key);
    return key;
}

std::string publicKeyLine(const PublicKey& key) {
    Bytes bytes = algorithmBytes(kKeyAlgorithm);
    append(bytes, key.id);
    append(bytes, key.key);
    return base64(bytes);
}

std::string publicKeyFile(const PublicKey& key) {
    return std::string(kCommentPrefix) + "minisign public key " + keyIdText(key.id) + "\n" +
           publicKeyLine(key) + "\n";
}

std::string keyIdText(const KeyId& id) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (auto byte = id.rbegin(); byte != id.rend(); ++byte) {
        text += kHex[*byte >> 4];
        text += kHex[*byte & 0x0F];
    }
    return text;
}

SecretKey SecretKey::generate() {
    const KeyPtr key(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"));
    SecretKey secret;
    std::size_t seedLength = secret.seed_.size();
    std::size_t publicLength = secret.public_.key.size();
    if (!key || EVP_PKEY_get_raw_private_key(key.get(), secret.seed_.data(), &seedLength) != 1 ||
        EVP_PKEY_get_raw_public_key(key.get(), secret.public_.key.data(), &publicLength) != 1 ||
        seedLength != secret.seed_.size() || publicLength != secret.public_.key.size() ||
        RAND_bytes(secret.public_.id.data(), static_cast<int>(secret.public_.id.size())) != 1) {
        fail("make an Ed25519 key pair");
    }
    return secret;
}

std::optional<SecretKey> SecretKey::parse(std::string_view text) {
    const auto lines = linesOf(ascii::trimWhitespace(text));
    if (lines.size() != 2 || !lines[0].starts_with(kCommentPrefix)) {
        return std::nullopt;
    }
    auto bytes = fromBase64(ascii::trimWhitespace(lines[1]), 42);
    if (!bytes || !std::equal(kKeyAlgorithm.begin(), kKeyAlgorithm.end(), bytes->begin())) {
        return std::nullopt;
    }
    SecretKey secret;
    copyOut(*bytes, 2, secret.public_.id);
    copyOut(*bytes, 10, secret.seed_);
    OPENSSL_cleanse(bytes->data(), bytes->size());
    const KeyPtr key(EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, secret.seed_.data(),
                                                  secret.seed_.size()));
    std::size_t publicLength = secret.public_.key.size();
    if (!key ||
        EVP_PKEY_get_raw_public_key(key.get(), secret.public_.key.data(), &publicLength) != 1) {
        return std::nullopt;
    }
    return secret;
}

SecretKey::~SecretKey() {
    OPENSSL_cleanse(seed_.data(), seed_.size());
}

std::string SecretKey::fileText() const {
    Bytes bytes = algorithmBytes(kKeyAlgorithm);
    append(bytes, public_.id);
    append(bytes, seed_);
    std::string text = std::string(kCommentPrefix) + "kxserver secret signing key " +
                       keyIdText(public_.id) + "\n" + base64(bytes) + "\n";
    OPENSSL_cleanse(bytes.data(), bytes.size());
    return text;
}

std::string SecretKey::sign(std::string_view message, std::string_view trustedComment) const {
    if (trustedComment.find_first_of("\r\n") != std::string_view::npos) {
        throw std::invalid_argument("a trusted comment is one line");
    }
    const auto digest = blake2b512(message);
    const Ed25519Signature signature = signBytes(seed_, digest.data(), digest.size());
    const Bytes commentBytes = commentMessage(signature, trustedComment);
    const Ed25519Signature commentSignature =
        signBytes(seed_, commentBytes.data(), commentBytes.size());
    Bytes line = algorithmBytes(kPrehashedAlgorithm);
    append(line, public_.id);
    append(line, signature);
    return std::string(kCommentPrefix) + "signature from kxserver secret key " +
           keyIdText(public_.id) + "\n" + base64(line) + "\n" + std::string(kTrustedPrefix) +
           std::string(trustedComment) + "\n" +
           base64(Bytes(commentSignature.begin(), commentSignature.end())) + "\n";
}

std::optional<SignatureFile> parseSignatureFile(std::string_view text, std::string& why) {
    const auto lines = linesOf(text);
    if (lines.size() != 4 || !lines[0].starts_with(kCommentPrefix) ||
        !lines[2].starts_with(kTrustedPrefix)) {
        why = "it is not a signature file (four lines, two of them comments)";
        return std::nullopt;
    }
    const auto signature = fromBase64(lines[1], 74);
    const auto commentSignature = fromBase64(lines[3], 64);
    if (!signature || !commentSignature) {
        why = "a signature line is not the base64 of a signature";
        return std::nullopt;
    }
    if (!std::equal(kPrehashedAlgorithm.begin(), kPrehashedAlgorithm.end(), signature->begin())) {
        why = "its signature algorithm is not prehashed Ed25519";
        return std::nullopt;
    }
    SignatureFile file;
    copyOut(*signature, 2, file.keyId);
    copyOut(*signature, 10, file.signature);
    file.trustedComment = std::string(lines[2].substr(kTrustedPrefix.size()));
    copyOut(*commentSignature, 0, file.commentSignature);
    return file;
}

std::string verifySignature(const PublicKey& key, const SignatureFile& file,
                            std::string_view message) {
    const Bytes signedComment = commentMessage(file.signature, file.trustedComment);
    if (!verifyBytes(key, file.commentSignature, signedComment.data(), signedComment.size())) {
        return "the signature of its trusted comment does not match";
    }
    const auto digest = blake2b512(message);
    return verifyBytes(key, file.signature, digest.data(), digest.size())
               ? ""
               : "the signature does not match the signed text";
}

}  // namespace kx::signing
