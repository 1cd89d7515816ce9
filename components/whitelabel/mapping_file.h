#pragma once
// The white-label mapping file: where it lives and how its lines are read.
//
// A reseller edits the file by hand. It is UTF-8 text, one mapping a line:
//
//     <PREFIX><text> = <replacement>
//
// PREFIX says what the mapping is for: "FTXT_" texts of windows and their controls, "FICO_" the
// windows' icon (the replacement names a picture file, relative to the mapping file's folder or
// absolute), "EADR_" e-mail addresses, "WURL_" web addresses. The first "=" ends the text, so a
// text cannot hold one; blanks (spaces, tabs) around the text and the replacement are dropped.
// Lines that are no mapping are skipped and the others still apply: empty lines, comments (by
// convention starting with "#"), and lines that cannot be read: without a known prefix or "=",
// with an empty text, a "^" in the text or in an icon's file name, control characters other than
// tab, bytes that are not UTF-8, or more than kMaxMappingLineLength bytes. Lines end with LF or
// CR LF; a UTF-8 byte-order mark at the start is ignored. Only the first kMaxMappingFileSize bytes
// of the file are read: a line that limit cuts is skipped.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kx::whitelabel {

inline constexpr std::size_t kMaxMappingFileSize = 1024 * 1024;
inline constexpr std::size_t kMaxMappingLineLength = 4096;

inline constexpr std::string_view kTextPrefix = "FTXT_";
inline constexpr std::string_view kIconPrefix = "FICO_";
inline constexpr std::string_view kEmailPrefix = "EADR_";
inline constexpr std::string_view kUrlPrefix = "WURL_";

struct Mapping {
    std::string text;
    std::string replacement;
};

struct MappingLine {
    std::string_view prefix;  // one of the four prefixes above
    Mapping mapping;
};

// The file's place: $KX_WHITELABEL_FILE when set and not empty, else
// "/etc/kestrix/whitelabel.conf".
std::string mappingFilePath();

// The mappings of a file's content, in the order of its lines.
std::vector<MappingLine> parseMappings(std::string_view content);

// The mappings of the file at `path`; none when it is missing or is not a regular file.
std::vector<MappingLine> readMappingFile(const std::string& path);

}  // namespace kx::whitelabel
