#include "platform/files/sha256_file.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <stdexcept>

#include "platform/system/file_descriptor.h"

namespace kx::files {

bool isSha256Hex(std::string_view text) {
    return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

struct Sha256::Context {
    Context() : digest(EVP_MD_CTX_new()) {
        if (digest == nullptr || EVP_DigestInit_ex(digest, EVP_sha256(), nullptr) != 1) {
            EVP_MD_CTX_free(digest);
            throw std::runtime_error("cannot start a SHA-256 digest");
        }
    }
    ~Context() { EVP_MD_CTX_free(digest); }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
    EVP_MD_CTX* digest;
};

Sha256::Sha256() : context_(std::make_unique<Context>()) {}

Sha256::~Sha256() = default;

void Sha256::update(const void* data, std::size_t size) {
    // Updating a SHA-256 context in memory cannot fail.
    EVP_DigestUpdate(context_->digest, data, size);
}

std::string Sha256::finishHex() {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    EVP_DigestFinal_ex(context_->digest, digest.data(), &length);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 0x0F];
    }
    return hex;
}

std::optional<std::string> sha256FileHex(const std::string& path) {
    const sys::FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid()) {
        return std::nullopt;
    }
    Sha256 digest;
    std::array<char, 256 * 1024> buffer{};
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return std::nullopt;
        }
        if (got == 0) {
            return digest.finishHex();
        }
        digest.update(buffer.data(), static_cast<std::size_t>(got));
    }
}

}  // namespace kx::files
