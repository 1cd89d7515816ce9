#include "server/byte_ranges.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "platform/text/ascii_text.h"

namespace kx::server {

namespace {

// A non-empty run of digits that fits; nullopt otherwise.
std::optional<std::uint64_t> number(std::string_view digits) {
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() ||
        digits.front() == '+' || digits.front() == '-') {
        return std::nullopt;
    }
    return value;
}

struct RangeSpec {
    std::optional<std::uint64_t> first;  // none: a suffix of `last` bytes
    std::optional<std::uint64_t> last;   // none: to the end
};

// "a-b", "a-" or "-n"; nullopt when malformed (also when b < a).
std::optional<RangeSpec> parseSpec(std::string_view spec) {
    const auto dash = spec.find('-');
    if (dash == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view before = spec.substr(0, dash);
    const std::string_view after = spec.substr(dash + 1);
    RangeSpec parsed;
    if (!before.empty() && !(parsed.first = number(before))) {
        return std::nullopt;
    }
    if (!after.empty() && !(parsed.last = number(after))) {
        return std::nullopt;
    }
    if ((!parsed.first && !parsed.last) ||
        (parsed.first && parsed.last && *parsed.last < *parsed.first)) {
        return std::nullopt;
    }
    return parsed;
}

bool validatorMatches(std::string_view ifRange, std::string_view etag,
                      std::string_view lastModified) {
    ifRange = ascii::trimBlanks(ifRange);
    if (ifRange.starts_with("W/")) {
        return false;
    }
    return ifRange.starts_with("\"") ? ifRange == etag : ifRange == lastModified;
}

}  // namespace

ByteRangeAnswer answerByteRange(std::string_view range, std::string_view ifRange,
                                std::uint64_t size, std::string_view etag,
                                std::string_view lastModified) {
    const ByteRangeAnswer whole{200, 0, size};
    range = ascii::trimBlanks(range);
    if (range.empty() || !ascii::startsWithNoCase(range, "bytes=") ||
        (!ifRange.empty() && !validatorMatches(ifRange, etag, lastModified))) {
        return whole;
    }
    std::optional<RangeSpec> only;
    std::string_view list = range.substr(6);
    while (!list.empty()) {
        const auto comma = list.find(',');
        const std::string_view element = ascii::trimBlanks(list.substr(0, comma));
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
        if (element.empty()) {
            continue;  // empty list elements are allowed and mean nothing
        }
        if (only) {
            return whole;  // more than one range
        }
        only = parseSpec(element);
        if (!only) {
            return whole;
        }
    }
    if (!only) {
        return whole;
    }
    if (!only->first) {  // the last n bytes
        if (*only->last == 0 || size == 0) {
            return {416, 0, 0};
        }
        const std::uint64_t length = std::min(*only->last, size);
        return {206, size - length, length};
    }
    if (*only->first >= size) {
        return {416, 0, 0};
    }
    const std::uint64_t last = std::min(only->last.value_or(size - 1), size - 1);
    return {206, *only->first, last - *only->first + 1};
}

}  // namespace kx::server
