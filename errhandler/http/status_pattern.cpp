#include "errhandler/http/status_pattern.h"

#include "platform/text/ascii_text.h"

namespace kx::errhandler {
namespace {

using ascii::isDigit;

bool matchesOne(char textChar, char patternChar) {
    return patternChar == '?' || (patternChar == '#' ? isDigit(textChar) : patternChar == textChar);
}

}  // namespace

bool matchesStatusPattern(std::string_view text, std::string_view pattern) {
    // Greedy match with one backtracking point (the last "*"): linear in practice and never
    // exponential, whatever the pattern.
    std::size_t t = 0;
    std::size_t p = 0;
    std::size_t starPattern = std::string_view::npos;
    std::size_t starText = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starPattern = p++;
            starText = t;
        } else if (p < pattern.size() && matchesOne(text[t], pattern[p])) {
            ++t;
            ++p;
        } else if (starPattern != std::string_view::npos) {
            p = starPattern + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

}  // namespace kx::errhandler
