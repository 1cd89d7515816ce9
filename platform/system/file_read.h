#pragma once
// Bounded reading of small text files that come from outside the program (files under /proc and
// /etc, side files, token files). Only regular files are read, and opening never blocks: a path
// that names a FIFO, a device or a folder reads as missing instead of hanging the caller.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kx::sys {

// The first `maxBytes` bytes of the regular file at `path` (fewer when the file is shorter), or
// nullopt when it is missing, not a regular file or cannot be read.
std::optional<std::string> readFileHead(const std::string& path, std::size_t maxBytes);

// The text up to the first CR or LF (a CR LF pair ends the line once), or the whole text when it
// holds neither.
std::string_view firstLine(std::string_view text);

}  // namespace kx::sys
