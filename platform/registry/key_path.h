#pragma once
// Key paths and value names of the registry stand-in: parsing, bounds and letter-case folding.
//
// A key path is a list of names joined by "\". What is accepted, as on Windows:
// - the empty path names the key it is relative to (the hive root, or an open key);
// - trailing backslashes are ignored ("Software\Kestrix\" is "Software\Kestrix");
// - a leading backslash, or an empty name between two backslashes, is a bad path
//   (kErrorBadPathname), as RegCreateKeyEx reports it;
// - a name holds at most 255 characters and a whole path at most 32767; a value name at most
//   16383; NUL characters are not allowed in either (kErrorInvalidParameter).
// Names are kept as written and compared folded: ASCII letters are compared as upper case, as the
// registry compares; other bytes (UTF-8 text) compare exactly.

#include <cstddef>
#include <string>
#include <string_view>

namespace kx::registry::detail {

inline constexpr std::size_t kMaxKeyNameLength = 255;
inline constexpr std::size_t kMaxKeyPathLength = 32767;
inline constexpr std::size_t kMaxValueNameLength = 16383;
inline constexpr std::size_t kMaxValueDataBytes = 1024 * 1024;  // text plus its NUL

// A key path as written and as compared. The empty path is the root of its hive.
struct KeyPath {
    std::string written;
    std::string folded;

    bool isRoot() const { return folded.empty(); }
};

// The comparison form of a name or path.
std::string foldName(std::string_view name);

// Parses a relative key path. Returns kErrorSuccess, kErrorBadPathname or kErrorInvalidParameter.
long parseKeyPath(std::string_view text, KeyPath& out);

// `base` + "\" + `relative`, checked against the total length bound.
long joinKeyPath(const KeyPath& base, const KeyPath& relative, KeyPath& out);

// Checks a value name against the bounds. Returns kErrorSuccess or kErrorInvalidParameter.
long checkValueName(std::string_view name);

// The folded path of the parent of a non-root folded path ("" for a key right below the root).
std::string parentPath(std::string_view folded);

// The last name of a path as written.
std::string lastName(std::string_view written);

}  // namespace kx::registry::detail
