#include "server/content_hash.h"

#include <stdexcept>

#include "platform/files/sha256_file.h"

namespace kx::server {

std::string sha256FileHex(const std::filesystem::path& file) {
    auto digest = files::sha256FileHex(file.string());
    if (!digest) {
        throw std::runtime_error("cannot read " + file.string());
    }
    return std::move(*digest);
}

}  // namespace kx::server
