#include "platform/rowset/text_fold.h"

#include <cstdint>

namespace kx::rowset {

namespace {

// Decodes one UTF-8 character at `pos` and advances it. Malformed sequences yield the byte
// itself (offset into a private range so they never equal a real letter).
char32_t nextCodePoint(std::string_view text, std::size_t& pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    auto stray = [&] {
        ++pos;
        return static_cast<char32_t>(0x110000u + lead);
    };
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    std::size_t length = 0;
    char32_t value = 0;
    if ((lead & 0xE0u) == 0xC0u) {
        length = 2;
        value = lead & 0x1Fu;
    } else if ((lead & 0xF0u) == 0xE0u) {
        length = 3;
        value = lead & 0x0Fu;
    } else if ((lead & 0xF8u) == 0xF0u) {
        length = 4;
        value = lead & 0x07u;
    } else {
        return stray();
    }
    if (pos + length > text.size()) {
        return stray();
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0u) != 0x80u) {
            return stray();
        }
        value = (value << 6) | (next & 0x3Fu);
    }
    pos += length;
    return value;
}

char32_t foldCodePoint(char32_t c) {
    if (c >= U'A' && c <= U'Z') {
        return c + 32;
    }
    // Latin-1 capitals À..Þ except the multiplication sign.
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) {
        return c + 32;
    }
    return c;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0u | (c >> 6));
        out += static_cast<char>(0x80u | (c & 0x3Fu));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0u | (c >> 12));
        out += static_cast<char>(0x80u | ((c >> 6) & 0x3Fu));
        out += static_cast<char>(0x80u | (c & 0x3Fu));
    } else {
        out += static_cast<char>(0xF0u | (c >> 18));
        out += static_cast<char>(0x80u | ((c >> 12) & 0x3Fu));
        out += static_cast<char>(0x80u | ((c >> 6) & 0x3Fu));
        out += static_cast<char>(0x80u | (c & 0x3Fu));
    }
}

}  // namespace

int compareFolded(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const char32_t ca = foldCodePoint(nextCodePoint(a, i));
        const char32_t cb = foldCodePoint(nextCodePoint(b, j));
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    if (i < a.size()) {
        return 1;
    }
    return j < b.size() ? -1 : 0;
}

bool equalsFolded(std::string_view a, std::string_view b) {
    return compareFolded(a, b) == 0;
}

std::string foldCase(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t start = pos;
        const char32_t c = nextCodePoint(text, pos);
        if (c >= 0x110000u) {
            out += text[start];  // keep a stray byte as it was
        } else {
            appendUtf8(out, foldCodePoint(c));
        }
    }
    return out;
}

std::size_t characterCount(std::string_view text) {
    std::size_t count = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        nextCodePoint(text, pos);
        ++count;
    }
    return count;
}

}  // namespace kx::rowset
