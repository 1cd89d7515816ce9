#include "platform/runtime/vb_strings.h"

#include "platform/runtime/run_time_error.h"

namespace kx {

namespace {

// Case partners among ASCII, Latin-1 and Latin Extended-A. Every code point involved is encoded
// in one byte (ASCII) or two bytes (the rest), so a mapping never changes the byte length.
// Dotted and dotless I (U+0130, U+0131), kra (U+0138) and long s (U+017F) have no simple partner.
bool inPairedBlock(char32_t c, bool upperIsEven) {
    const bool pairedRange =
        (c >= 0x100 && c <= 0x137 && c != 0x130 && c != 0x131) || (c >= 0x14A && c <= 0x177);
    const bool oddPairedRange = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (pairedRange) {
        return (c % 2 == 0) == upperIsEven;
    }
    if (oddPairedRange) {
        return (c % 2 == 1) == upperIsEven;
    }
    return false;
}

char32_t upperOf(char32_t c) {
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) {
        return c - 0x20;
    }
    if (c == 0xFF) {
        return 0x178;
    }
    // In the paired blocks the lower-case letter follows its capital.
    const bool isLowerOfPair = inPairedBlock(c, false);
    return isLowerOfPair ? c - 1 : c;
}

char32_t lowerOf(char32_t c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
        return c + 0x20;
    }
    if (c == 0x178) {
        return 0xFF;
    }
    const bool isUpperOfPair = inPairedBlock(c, true);
    return isUpperOfPair ? c + 1 : c;
}

bool isContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// Applies `map` to every ASCII character and every well-formed two-byte sequence up to
// U+017F; all other bytes are copied unchanged.
template <typename Map>
std::string mapCase(std::string_view text, Map map) {
    std::string out(text);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto b0 = static_cast<unsigned char>(out[i]);
        if (b0 < 0x80) {
            out[i] = static_cast<char>(map(b0));
        } else if (b0 >= 0xC2 && b0 <= 0xC5 && i + 1 < out.size() &&
                   isContinuation(static_cast<unsigned char>(out[i + 1]))) {
            const auto b1 = static_cast<unsigned char>(out[i + 1]);
            const char32_t mapped = map(static_cast<char32_t>(((b0 & 0x1Fu) << 6) | (b1 & 0x3Fu)));
            out[i] = static_cast<char>(0xC0u | (mapped >> 6));
            out[i + 1] = static_cast<char>(0x80u | (mapped & 0x3Fu));
            ++i;
        }
    }
    return out;
}

// Position (0-based) of `sought` in `text` from `from`, honouring the compare method.
std::size_t findFrom(std::string_view text, std::string_view sought, std::size_t from,
                     CompareMethod compare) {
    if (compare == CompareMethod::Binary) {
        return text.find(sought, from);
    }
    return LCase(text).find(LCase(sought), from);
}

void requireStartFromOne(std::int64_t start) {
    if (start < 1) {
        raiseError(vberr::kInvalidProcedureCall);
    }
}

}  // namespace

std::string LTrim(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string() : std::string(text.substr(first));
}

std::string RTrim(std::string_view text) {
    const auto last = text.find_last_not_of(' ');
    return last == std::string_view::npos ? std::string() : std::string(text.substr(0, last + 1));
}

std::string Trim(std::string_view text) {
    return LTrim(RTrim(text));
}

std::string UCase(std::string_view text) {
    return mapCase(text, upperOf);
}

std::string LCase(std::string_view text) {
    return mapCase(text, lowerOf);
}

std::int64_t InStr(std::int64_t start, std::string_view text, std::string_view sought,
                   CompareMethod compare) {
    requireStartFromOne(start);
    const auto length = static_cast<std::int64_t>(text.size());
    if (text.empty() || start > length) {
        return 0;
    }
    if (sought.empty()) {
        return start;
    }
    const std::size_t found = findFrom(text, sought, static_cast<std::size_t>(start - 1), compare);
    return found == std::string_view::npos ? 0 : static_cast<std::int64_t>(found) + 1;
}

std::int64_t InStr(std::string_view text, std::string_view sought) {
    return InStr(1, text, sought, CompareMethod::Binary);
}

std::string Replace(std::string_view expression, std::string_view find,
                    std::string_view replacement, std::int64_t start, std::int64_t count,
                    CompareMethod compare) {
    requireStartFromOne(start);
    if (count < -1) {
        raiseError(vberr::kInvalidProcedureCall);
    }
    if (start > static_cast<std::int64_t>(expression.size())) {
        return {};
    }
    const std::string_view tail = expression.substr(static_cast<std::size_t>(start - 1));
    if (find.empty() || count == 0) {
        return std::string(tail);
    }
    // Case-insensitive matches are found in folded copies; folding keeps byte positions.
    const std::string foldedTail = compare == CompareMethod::Text ? LCase(tail) : std::string();
    const std::string foldedFind = compare == CompareMethod::Text ? LCase(find) : std::string();
    const std::string_view haystack = compare == CompareMethod::Text ? foldedTail : tail;
    const std::string_view needle = compare == CompareMethod::Text ? foldedFind : find;

    std::string result;
    std::size_t copied = 0;
    for (std::int64_t done = 0; count == -1 || done < count; ++done) {
        const std::size_t found = haystack.find(needle, copied);
        if (found == std::string_view::npos) {
            break;
        }
        result.append(tail.substr(copied, found - copied));
        result.append(replacement);
        copied = found + needle.size();
    }
    result.append(tail.substr(copied));
    return result;
}

}  // namespace kx
