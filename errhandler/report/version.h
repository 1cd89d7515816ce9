#pragma once
// Versions of the machine and of files, and their comparison.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/system/os_info.h"

namespace kx::errhandler {

// The library's own version, as the report names it.
inline constexpr int kLibraryMajor = 300;
inline constexpr int kLibraryMinor = 1004;
inline constexpr int kLibraryRevision = 12;

// The operating system's name followed by " (" + kernel release + ")", for example
// "Debian GNU/Linux 12 (bookworm) (6.1.0-18-amd64)".
std::string GetWindowsVersion(const sys::OsInfoSources& sources = {});

// Always true: the machine is of the family the NT-only expectations of the audits describe.
bool IsWindowsNT();

// The version of a file, never failing ("" when there is none):
//  - a PE file: its version resource's fixed file version "a.b.c.d";
//  - an ELF file: the "version" of its package-metadata note;
//  - otherwise, or when neither carries a version: the first line of the side file path + ".ver"
//    with every space removed ("" when that file cannot be read).
std::string GetFileVersion(const std::string& path);

// There are no short (8.3) names on Linux: the path itself.
std::string GetShortPath(const std::string& path);

// A version text as a number, never failing. The text is trimmed, "," becomes "." and spaces go.
//  - "" gives 0; text without "." is the whole number it spells ("10" gives 10), 0 when it is
//    not made of digits only;
//  - dotted text whose other characters are not all digits gives 0;
//  - otherwise the first three "." split it into parts a, b, c, d (missing or empty parts are 0)
//    and the number is a * 10^12 + b * 10^8 + c * 10^4 + d, which is the digits of a followed by
//    those of b, c and d written with four digits each ("2.71.9030.0" gives 200719030000).
// Parts are read as wide numbers (saturating at 2^32 - 1), not as 16-bit integers; parts b, c or
// d above 9999 then spill into the next higher part, so use VersionKey or IsOlderVersion to order
// such versions.
double VersionToNumber(std::string_view text);

// The comparison key of a version: parts (a, b, c, d) as above, compared in order. A dotless
// number n stands for (n / 10^12, n / 10^8 % 10^4, n / 10^4 % 10^4, n % 10^4), the parts it
// spells when read like a dotted version, so "10" is the same as "0.0.0.10". For versions whose
// parts b, c and d stay below 10000 the order is exactly that of VersionToNumber; above, a larger
// part still makes a larger version ("1.2.40000.0" is newer than "1.2.9999.0").
using VersionKey = std::array<std::uint64_t, 4>;
VersionKey versionKey(std::string_view text);

// True exactly when `actual` orders below `expected` by versionKey. "" is older than any version
// that is not all zeros.
bool IsOlderVersion(std::string_view actual, std::string_view expected);

}  // namespace kx::errhandler
