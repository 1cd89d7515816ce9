#pragma once
// Remapping one text by a list of mappings, the way the white-label component does it for
// window texts, e-mail addresses and web addresses alike.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "components/whitelabel/mapping_file.h"

namespace kx::whitelabel {

// The longest result a remapping may produce; a text whose result would be longer stays as it is.
inline constexpr std::size_t kMaxRemappedLength = 1024 * 1024;

// Replaces every occurrence of a mapping's text in `text` by its replacement, in one pass from
// left to right: at each place the longest matching text wins (of equal texts, the later mapping),
// and what was put in is not searched again. Texts compare byte for byte (letter case counts).
// Mappings with an empty text are ignored.
std::string remapText(std::string_view text, const std::vector<Mapping>& mappings);

}  // namespace kx::whitelabel
