#pragma once
// File versions and their comparison (Module1): whether a local file must be replaced by the
// server's copy. Each procedure carries the crash capture's trap.

#include <cstdint>
#include <string>

namespace kx::launcher {

// The version of the file at `FullFileName`: its embedded version ("a.b.c.d" of a PE version
// resource, or an ELF file's package-note version; see platform/version), else the first line of
// its ".ver" side file with every space removed, else "". An empty or unreadable side file reads
// as "" (the file then counts as outdated and its install rewrites the side file).
std::string GetFileVersion(const std::string& FullFileName);

// Splits a 32-bit version word: LOWORD gets its low 16 bits, HIWORD its high 16 bits (0-65535).
void GetHILOWord(std::int32_t lParam, std::int32_t& LOWORD, std::int32_t& HIWORD);

// A version text as one comparable number: the four parts major.minor.build.revision ("," also
// separates, spaces are ignored) written as a digit string with at least two digits for the major
// and four for each other part ("1.2.3.4" gives 1000200030004). Two parts a.b put b in the
// revision place, three parts a.b.c drop c; "" gives 0; text without a dot is converted whole
// (raising run-time error 13 when it is not a number); text that is not numeric once the dots
// are removed gives 0. Parts hold -32768 to 65535 (every value a version resource can carry);
// a part outside that range raises run-time error 6 (overflow).
double FormatVersion(std::string VerStr);

// FormatVersion's work without its trap, for callers that handle its errors: raises the run-time
// errors named above. `VerStr` ends normalised (trimmed, "," made ".", spaces removed) and `parts`
// holds the dot positions and parts found, as far as the work got.
struct VersionParts {
    std::int64_t Loc1 = 0;
    std::int64_t Loc2 = 0;
    std::int32_t Major = 0;
    std::int32_t Minor = 0;
    std::int32_t MidRev = 0;
    std::int32_t Rev = 0;
};
double versionNumberOf(std::string& VerStr, VersionParts& parts);

// Whether `VerStr` reads as a version: "" (no version) and texts of numbers that FormatVersion
// converts do; a text FormatVersion raises an error for (a part beyond 65535, a word that is no
// number) and one that is no number once its dots are removed ("1.2.3-rc1", which FormatVersion
// gives as 0) do not. The install run compares only versions that read.
bool isReadableVersion(std::string VerStr);

// True when `NewVersion` is a strictly higher version than `CurVersion` and this run does not
// skip the update check (m_SkipUpdateCheck). Both texts are converted either way.
bool DoesFileNeedUpdate(const std::string& CurVersion, const std::string& NewVersion);

}  // namespace kx::launcher
