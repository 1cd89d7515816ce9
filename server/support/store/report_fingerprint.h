#pragma once
// What makes two error reports "the same failure": a fingerprint of the project, the error number,
// where it happened (module, routine, line) and the description with its variable parts (numbers,
// hexadecimal runs, GUIDs, paths) replaced by placeholders. The version is left out, so that one
// failure is followed across releases.
//
// The rules are versioned: a stored fingerprint carries the number of the rules it was made with,
// and reports grouped under other rules are grouped again when the catalog is opened.

#include <cstdint>
#include <string>
#include <string_view>

#include "server/support/store/report_fields.h"

namespace kx::server::support {

// The rules in force. Raise it with every change to normalisedDescription() or reportFingerprint().
inline constexpr std::int64_t kGroupingRules = 1;

// The description with its variable parts replaced: a GUID (braces optional) by "<guid>", a path
// (a word starting with "/", "./", "../", "~/", "\\" or a drive such as "C:\", or holding a
// backslash; a quoted path up to its closing quote) by "<path>", "0x" or "&H" and hexadecimal
// digits, or a run of at least eight hexadecimal digits with a digit among them, by "<hex>", and a
// number not part of a word ("Win32" stays) by "<n>". Blanks and line breaks collapse into one
// space. Only the first kDescriptionPrefix bytes count.
inline constexpr std::size_t kDescriptionPrefix = 2000;
std::string normalisedDescription(std::string_view description);

// 64 lower-case hex digits: the SHA-256 of the grouping fields of the report (each trimmed) under
// the rules in force.
std::string reportFingerprint(const ReportFields& fields);

}  // namespace kx::server::support
