// Status lines and required-status patterns on arbitrary input: nothing may crash, a parsed line
// gives a three-digit code and a bounded reason without line breaks, and a pattern always matches
// the text it consists of when it holds no wildcard.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "errhandler/http/status_pattern.h"
#include "platform/curl/http_status_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    using namespace kx::errhandler;

    if (const auto status = kx::curl::parseStatusLine(input)) {
        if (status->code < 0 || status->code > 999 ||
            status->text.size() > kx::curl::kMaxStatusTextLength ||
            status->text.find_first_of("\r\n") != std::string::npos) {
            std::abort();
        }
    }

    // First line: the pattern; the rest: the text it is matched against.
    const auto split = input.find('\n');
    const std::string_view pattern = input.substr(0, split);
    const std::string_view text =
        split == std::string_view::npos ? std::string_view() : input.substr(split + 1);
    (void)matchesStatusPattern(text, pattern);
    if (pattern.find_first_of("*?#") == std::string_view::npos &&
        !matchesStatusPattern(pattern, pattern)) {
        std::abort();
    }
    return 0;
}
