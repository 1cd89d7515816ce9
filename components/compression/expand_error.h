#pragma once
// The one failure of an expansion: its text is the reason shown to the caller.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kx::compression {

class ExpandError : public std::runtime_error {
  public:
    explicit ExpandError(const std::string& reason) : std::runtime_error(reason) {}
};

// `text` in double quotes, as paths and names appear in the reasons.
inline std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// The refusal of an output (or decoded stream) larger than `limit` bytes.
inline ExpandError tooLarge(std::uint64_t limit) {
    return ExpandError("the expanded data is larger than the limit of " + std::to_string(limit) +
                       " bytes");
}

}  // namespace kx::compression
