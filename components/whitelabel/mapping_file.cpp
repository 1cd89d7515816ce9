#include "components/whitelabel/mapping_file.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>

#include "platform/system/file_read.h"
#include "platform/text/ascii_text.h"

namespace kx::whitelabel {

namespace {

constexpr std::array<std::string_view, 4> kPrefixes = {kTextPrefix, kIconPrefix, kEmailPrefix,
                                                       kUrlPrefix};

// Length of the UTF-8 sequence that `lead` starts (2 to 4), or 0 when it starts none.
std::size_t sequenceLength(unsigned char lead) {
    if ((lead & 0xE0u) == 0xC0u) {
        return 2;
    }
    if ((lead & 0xF0u) == 0xE0u) {
        return 3;
    }
    return (lead & 0xF8u) == 0xF0u ? 4 : 0;
}

// Whether the multi-byte sequence at the start of `text` is well-formed: complete, not overlong,
// no surrogate and no code point past U+10FFFF.
bool isWellFormedSequence(std::string_view text, std::size_t length) {
    constexpr char32_t kSmallestOfLength[] = {0, 0, 0x80, 0x800, 0x10000};
    if (length == 0 || text.size() < length) {
        return false;
    }
    char32_t codePoint = static_cast<unsigned char>(text[0]) & (0xFFu >> (length + 1));
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[k]);
        if ((next & 0xC0u) != 0x80u) {
            return false;
        }
        codePoint = (codePoint << 6) | (next & 0x3Fu);
    }
    return codePoint >= kSmallestOfLength[length] && codePoint <= 0x10FFFF &&
           (codePoint < 0xD800 || codePoint > 0xDFFF);
}

// Well-formed UTF-8 without control characters other than tab: what a window can show.
bool isReadableText(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        if (lead >= 0x80) {
            const std::size_t length = sequenceLength(lead);
            if (!isWellFormedSequence(text.substr(at), length)) {
                return false;
            }
            at += length;
        } else if ((lead < 0x20 && lead != '\t') || lead == 0x7F) {
            return false;
        } else {
            ++at;
        }
    }
    return true;
}

std::optional<MappingLine> parseLine(std::string_view line) {
    if (line.size() > kMaxMappingLineLength || !isReadableText(line)) {
        return std::nullopt;
    }
    line = ascii::trimBlanks(line);
    const auto prefix = std::find_if(kPrefixes.begin(), kPrefixes.end(),
                                     [&](std::string_view p) { return line.starts_with(p); });
    const auto equals = line.find('=');
    if (prefix == kPrefixes.end() || equals == std::string_view::npos) {
        return std::nullopt;
    }
    MappingLine parsed{
        *prefix,
        {std::string(ascii::trimBlanks(line.substr(0, equals).substr(prefix->size()))),
         std::string(ascii::trimBlanks(line.substr(equals + 1)))}};
    // "^" separates the text from its replacement in the tables handed to callers, and the
    // fields of an icon mapping.
    const bool ambiguous =
        parsed.mapping.text.find('^') != std::string::npos ||
        (parsed.prefix == kIconPrefix && parsed.mapping.replacement.find('^') != std::string::npos);
    if (parsed.mapping.text.empty() || ambiguous) {
        return std::nullopt;
    }
    return parsed;
}

}  // namespace

std::string mappingFilePath() {
    const char* moved = std::getenv("KX_WHITELABEL_FILE");
    return moved != nullptr && *moved != '\0' ? moved : "/etc/kestrix/whitelabel.conf";
}

std::vector<MappingLine> parseMappings(std::string_view content) {
    if (content.starts_with("\xEF\xBB\xBF")) {
        content.remove_prefix(3);
    }
    std::vector<MappingLine> mappings;
    while (!content.empty()) {
        const auto end = std::min(content.find('\n'), content.size());
        std::string_view line = content.substr(0, end);
        content.remove_prefix(std::min(end + 1, content.size()));
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (auto parsed = parseLine(line)) {
            mappings.push_back(std::move(*parsed));
        }
    }
    return mappings;
}

std::vector<MappingLine> readMappingFile(const std::string& path) {
    auto content = sys::readFileHead(path, kMaxMappingFileSize + 1);
    if (!content) {
        return {};
    }
    if (content->size() > kMaxMappingFileSize) {
        // Only whole lines count: the one the limit cuts is dropped with the rest.
        const auto lastLineEnd = content->rfind('\n', kMaxMappingFileSize - 1);
        content->resize(lastLineEnd == std::string::npos ? 0 : lastLineEnd + 1);
    }
    return parseMappings(*content);
}

}  // namespace kx::whitelabel
