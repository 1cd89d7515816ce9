#pragma once
// Letter-case-insensitive text comparison as the row-set engine does it for column names,
// filter criteria and Find: ASCII letters and the accented Latin-1 letters fold to one case;
// every other character compares by its code point. Text is UTF-8; bytes that are not valid
// UTF-8 compare as themselves.

#include <cstddef>
#include <string>
#include <string_view>

namespace kx::rowset {

// <0, 0, >0 as a sorts before, equal to or after b, ignoring letter case.
int compareFolded(std::string_view a, std::string_view b);
bool equalsFolded(std::string_view a, std::string_view b);
// The case-folded form of `text` (lower case), for prefix and substring tests.
std::string foldCase(std::string_view text);

// Number of characters (code points) of UTF-8 text; a stray byte counts as one character.
std::size_t characterCount(std::string_view text);

}  // namespace kx::rowset
