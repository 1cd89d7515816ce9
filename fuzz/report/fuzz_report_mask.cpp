// MaskPasswords on arbitrary text. Besides not crashing, the masking must keep no character of
// any password value: a value runs from the second character after a "PASSWORD" or "PWD" (any
// letter case; the first one is the separator, such as ">" or "=") up to the next "<", CR, LF or
// the end of the text. Nor of the login token: the value after "<m_AuthLogin>" (up to the same
// ends), any other occurrence of a value of eight characters or more, and the user part of a URL
// ("://" USER "@"). The traced variant tells where each output character came from.

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "errhandler/report/mask_passwords.h"

namespace {

bool isValueEnd(char c) {
    return c == '<' || c == '\r' || c == '\n';
}

std::string upper(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](char c) {
        return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    });
    return out;
}

void markRange(std::vector<bool>& secret, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
        secret[i] = true;
    }
}

// Marks every character of the login token's values and of a URL's user part.
void markTokens(std::string_view text, const std::string& folded, std::vector<bool>& secret) {
    const std::string_view tag = "<M_AUTHLOGIN>";
    for (auto at = folded.find(tag); at != std::string::npos; at = folded.find(tag, at + 1)) {
        const std::size_t from = at + tag.size();
        std::size_t to = from;
        while (to < text.size() && !isValueEnd(text[to])) {
            ++to;
        }
        markRange(secret, from, to);
        const std::string_view token = text.substr(from, to - from);
        for (auto other = text.find(token); token.size() >= 8 && other != std::string::npos;
             other = text.find(token, other + 1)) {
            markRange(secret, other, other + token.size());
        }
    }
    for (auto at = text.find("://"); at != std::string::npos; at = text.find("://", at + 1)) {
        const auto end = text.find_first_of(" \t\r\n/?#@<>\"'", at + 3);
        if (end != std::string::npos && text[end] == '@') {
            markRange(secret, at + 3, end);
        }
    }
}

// Marks every character that belongs to a password value or to the login token.
std::vector<bool> secretPositions(std::string_view text) {
    const std::string folded = upper(text);
    std::vector<bool> secret(text.size(), false);
    for (const std::string_view word : {std::string_view("PASSWORD"), std::string_view("PWD")}) {
        for (auto at = folded.find(word); at != std::string::npos; at = folded.find(word, at + 1)) {
            const std::size_t wordEnd = at + word.size();
            std::size_t end = wordEnd;
            while (end < text.size() && !isValueEnd(text[end])) {
                ++end;
            }
            for (std::size_t i = wordEnd + 1; i < end; ++i) {
                secret[i] = true;
            }
        }
    }
    markTokens(text, folded, secret);
    return secret;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto traced = kx::errhandler::maskPasswordsTraced(text);
    if (traced.text != kx::errhandler::MaskPasswords(text) ||
        traced.origin.size() != traced.text.size()) {
        std::abort();
    }
    const std::vector<bool> secret = secretPositions(text);
    for (std::size_t i = 0; i < traced.text.size(); ++i) {
        const std::int64_t from = traced.origin[i];
        if (from < 0) {
            if (traced.text[i] != '*') {
                std::abort();
            }
            continue;
        }
        const auto index = static_cast<std::size_t>(from);
        if (index >= text.size() || text[index] != traced.text[i] || secret[index]) {
            std::abort();  // a value's character reached the output
        }
    }
    const std::string folded = upper(traced.text);
    if (folded.find("PASSWORD") != std::string::npos || folded.find("PWD") != std::string::npos) {
        std::abort();  // a keyword was left unmasked
    }
    return 0;
}
