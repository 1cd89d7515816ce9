#pragma once
// The old runtime's string functions over UTF-8 text.
//
// Positions and lengths count bytes of the UTF-8 text, so they compose with std::string and agree
// with the old runtime's character positions for ASCII text. Case mapping covers ASCII, Latin-1
// and Latin Extended-A letters; every such mapping keeps the byte length of the character, so a
// case-insensitive search reports positions in the original text. Bytes that are not part of a
// well-formed UTF-8 sequence pass through unchanged.

#include <cstdint>
#include <string>
#include <string_view>

namespace kx {

// How InStr and Replace compare: byte for byte, or without regard to letter case.
enum class CompareMethod : std::uint8_t { Binary = 0, Text = 1 };

// Remove leading, trailing, or both leading and trailing spaces (U+0020 only: tabs, line breaks
// and no-break spaces stay).
std::string LTrim(std::string_view text);
std::string RTrim(std::string_view text);
std::string Trim(std::string_view text);

// Letter case conversion; everything that is not a letter with a case partner stays unchanged.
std::string UCase(std::string_view text);
std::string LCase(std::string_view text);

// Position (1-based) of the first occurrence of `sought` in `text` at or after `start`, or 0.
// Edge results: an empty `text` gives 0; an empty `sought` gives `start` (0 when start lies past
// the end of `text`); a `start` past the end gives 0. A `start` below 1 raises RuntimeError 5.
std::int64_t InStr(std::int64_t start, std::string_view text, std::string_view sought,
                   CompareMethod compare = CompareMethod::Binary);
std::int64_t InStr(std::string_view text, std::string_view sought);

// Replaces occurrences of `find` by `replacement`. The search begins at `start` (1-based) and the
// result begins there too: the text before `start` is dropped. `count` limits the number of
// replacements (-1: all). Edge results: an empty `find` or a `count` of 0 gives the text from
// `start` unchanged; a `start` past the end gives "". A `start` below 1 or a `count` below -1
// raises RuntimeError 5. Replacements are not searched again.
std::string Replace(std::string_view expression, std::string_view find,
                    std::string_view replacement, std::int64_t start = 1, std::int64_t count = -1,
                    CompareMethod compare = CompareMethod::Binary);

}  // namespace kx
