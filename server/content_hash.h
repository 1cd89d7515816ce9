#pragma once
// The SHA-256 digest of a published file's content: the install list's integrity column and the
// validator that downloads are served with both come from it.

#include <filesystem>
#include <string>

namespace kx::server {

// 64 lower-case hex digits of the file's SHA-256, read in bounded pieces (any size of file).
// Throws std::runtime_error naming the file when it cannot be read.
std::string sha256FileHex(const std::filesystem::path& file);

}  // namespace kx::server
