// MaskPasswords on arbitrary text. Besides not crashing, the masking must keep no character of
// any password value: a value runs from the second character after a "PASSWORD" or "PWD" (any
// letter case; the first one is the separator, such as ">" or "=") up to the next "<", CR, LF or
// the end of the text. The traced variant tells where each output character came from.

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "mask_passwords.h"

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

// Marks every character that belongs to a password value.
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
