#pragma once
// The SHA-256 digest of a file's content, read in bounded pieces (any size of file).

#include <optional>
#include <string>

namespace kx::files {

// 64 lower-case hex digits; nullopt when the file cannot be read.
std::optional<std::string> sha256FileHex(const std::string& path);

}  // namespace kx::files
