#include "mask_passwords.h"

#include <algorithm>
#include <array>

#include "ascii_text.h"

namespace kx::errhandler {

namespace {

struct Keyword {
    std::string_view word;
    std::size_t kept;  // leading letters of the keyword left readable
};

constexpr Keyword kPassword{"PASSWORD", 4};
constexpr Keyword kPwd{"PWD", 2};
constexpr std::array<Keyword, 2> kKeywords{kPassword, kPwd};
// The masked stretch ends 26 characters after the keyword's first letter: of "PASSWORD" the 22
// characters after "PASS" go, of "PWD" the 24 after "PW".
constexpr std::size_t kStretchLength = 26;
constexpr std::string_view kAsterisks = "**********";

bool keywordAt(std::string_view text, std::size_t at, std::string_view word) {
    return at <= text.size() && ascii::startsWithNoCase(text.substr(at), word);
}

std::size_t findKeyword(std::string_view text, std::size_t from, std::string_view word) {
    const auto it =
        std::search(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), word.begin(),
                    word.end(), [](char a, char b) { return ascii::equalsNoCase(a, b); });
    return it == text.end() ? std::string_view::npos : static_cast<std::size_t>(it - text.begin());
}

bool isValueEnd(char c) {
    return c == '<' || c == '\r' || c == '\n';
}

std::size_t nextValueEnd(std::string_view text, std::size_t from) {
    while (from < text.size() && !isValueEnd(text[from])) {
        ++from;
    }
    return from;
}

// Where the stretch masked for the keyword at `p` ends. The fixed stretch is extended for every
// keyword that starts inside it, the found one included: a keyword's value runs from after the
// keyword up to the next "<", CR, LF or the end of the text, and when it holds more than the one
// separator character (">" of a tag, "=" of an assignment), the stretch covers it all. Keywords
// inside the stretch must be looked at too: once masked they are no longer found by the search.
// A value already inside the fixed stretch changes nothing, so short values mask as they always
// have, and a closing tag such as "</mPassword>" directly before a line end adds nothing.
std::size_t stretchEnd(std::string_view text, std::size_t p) {
    std::size_t end = std::min(p + kStretchLength, text.size());
    for (std::size_t i = p; i < end; ++i) {
        for (const auto& keyword : kKeywords) {
            if (!keywordAt(text, i, keyword.word)) {
                continue;
            }
            const std::size_t wordEnd = i + keyword.word.size();
            const std::size_t valueEnd = nextValueEnd(text, wordEnd);
            if (valueEnd > wordEnd + 1) {
                end = std::max(end, valueEnd);
            }
        }
    }
    return end;
}

// One pass for one keyword over the text and the origin of each of its characters.
MaskedText maskKeyword(const MaskedText& in, const Keyword& keyword) {
    const std::string_view text = in.text;
    MaskedText out;
    out.text.reserve(text.size());
    out.origin.reserve(text.size());
    const auto copy = [&](std::size_t from, std::size_t to) {
        out.text.append(text.substr(from, to - from));
        out.origin.insert(out.origin.end(), in.origin.begin() + static_cast<std::ptrdiff_t>(from),
                          in.origin.begin() + static_cast<std::ptrdiff_t>(to));
    };
    std::size_t cursor = 0;
    for (std::size_t p = findKeyword(text, 0, keyword.word); p != std::string_view::npos;
         p = findKeyword(text, cursor, keyword.word)) {
        const std::size_t end = stretchEnd(text, p);
        copy(cursor, p + keyword.kept);
        out.text.append(kAsterisks);
        out.origin.insert(out.origin.end(), kAsterisks.size(), -1);
        cursor = end;
    }
    copy(cursor, text.size());
    return out;
}

}  // namespace

MaskedText maskPasswordsTraced(std::string_view text) {
    MaskedText traced{std::string(text), std::vector<std::int64_t>(text.size())};
    for (std::size_t i = 0; i < text.size(); ++i) {
        traced.origin[i] = static_cast<std::int64_t>(i);
    }
    for (const auto& keyword : kKeywords) {
        traced = maskKeyword(traced, keyword);
    }
    return traced;
}

std::string MaskPasswords(std::string_view text) {
    return maskPasswordsTraced(text).text;
}

}  // namespace kx::errhandler
