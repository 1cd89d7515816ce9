#pragma once
// Whole numbers written by people and programs outside the server: decimal digits with an
// optional leading "-", the whole text and nothing else (no blanks, no "+", nothing after).

#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

namespace kx::server {

// The number `text` spells when it lies from `min` to `max`; nullopt for anything else.
inline std::optional<std::int64_t> parseWholeNumber(
    std::string_view text, std::int64_t min = std::numeric_limits<std::int64_t>::min(),
    std::int64_t max = std::numeric_limits<std::int64_t>::max()) {
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < min || value > max) {
        return std::nullopt;
    }
    return value;
}

}  // namespace kx::server
