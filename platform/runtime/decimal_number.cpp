#include "platform/runtime/decimal_number.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "platform/runtime/variant.h"

namespace kx {

namespace {

// The position of the most significant digit relative to the decimal point: 0 for 1..9,
// 1 for 10..99, -1 for 0.1..0.99.
std::int64_t leadingPlace(const DecimalNumber& number) {
    return static_cast<std::int64_t>(number.digits.size()) - 1 + number.exponent;
}

// Adds one to a digit string, growing it on a carry out of the first digit.
void incrementDigits(std::string& digits) {
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return;
        }
        *it = '0';
    }
    digits.insert(digits.begin(), '1');
}

bool roundsUp(const std::string& kept, std::string_view dropped, Rounding rounding) {
    if (dropped.empty() || dropped.front() < '5') {
        return false;
    }
    if (dropped.front() > '5' || rounding == Rounding::HalfAwayFromZero) {
        return true;
    }
    // An exact half under half-to-even: up only when something follows the 5 or the kept part is
    // odd. Normalised digits never end in 0, so anything after the 5 is non-zero.
    if (dropped.size() > 1) {
        return true;
    }
    const char last = kept.empty() ? '0' : kept.back();
    return (last - '0') % 2 == 1;
}

}  // namespace

DecimalNumber makeDecimal(bool negative, std::string digits, std::int64_t exponent) {
    const auto first = digits.find_first_not_of('0');
    if (first == std::string::npos) {
        return {};
    }
    const auto last = digits.find_last_not_of('0');
    exponent += static_cast<std::int64_t>(digits.size() - 1 - last);
    digits = digits.substr(first, last - first + 1);
    return {negative, std::move(digits), exponent};
}

DecimalNumber decimalFromUnsigned(std::uint64_t value, bool negative) {
    return makeDecimal(negative, std::to_string(value), 0);
}

DecimalNumber decimalFromInteger(std::int64_t value) {
    // The magnitude of the most negative value does not fit in int64: negate as unsigned.
    const bool negative = value < 0;
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    return decimalFromUnsigned(magnitude, negative);
}

DecimalNumber decimalFromCurrency(Currency value) {
    DecimalNumber number = decimalFromInteger(value.scaled);
    return number.isZero() ? number
                           : makeDecimal(number.negative, number.digits, number.exponent - 4);
}

DecimalNumber decimalFromDouble(double value, int significantDigits) {
    // to_chars is independent of the process locale, unlike printf.
    std::array<char, 64> buffer{};
    const auto result =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), std::fabs(value),
                      std::chars_format::scientific, significantDigits - 1);
    const std::string_view text(buffer.data(),
                                static_cast<std::size_t>(result.ptr - buffer.data()));
    // Form: d[.ddd]e[+-]xx
    const auto e = text.find('e');
    std::string digits;
    for (char c : text.substr(0, e)) {
        if (c != '.') {
            digits.push_back(c);
        }
    }
    int exponent10 = 0;
    const std::string_view exponentText = text.substr(e + 1);
    const char* begin = exponentText.data() + (exponentText.front() == '+' ? 1 : 0);
    std::from_chars(begin, exponentText.data() + exponentText.size(), exponent10);
    const auto fractionCount = static_cast<std::int64_t>(digits.size()) - 1;
    return makeDecimal(std::signbit(value), std::move(digits), exponent10 - fractionCount);
}

DecimalNumber roundToPlaces(const DecimalNumber& number, int places, Rounding rounding) {
    if (number.isZero() || number.exponent >= -places) {
        return number;
    }
    // Number of digits that stay in front of the cut (may be zero or negative).
    const std::int64_t keep =
        static_cast<std::int64_t>(number.digits.size()) + number.exponent + places;
    if (keep < 0) {
        return {};  // far below half of the last place
    }
    const auto keepCount = static_cast<std::size_t>(keep);
    std::string kept = number.digits.substr(0, keepCount);
    const std::string_view dropped = std::string_view(number.digits).substr(keepCount);
    if (roundsUp(kept, dropped, rounding)) {
        incrementDigits(kept);
    }
    return makeDecimal(number.negative, std::move(kept), -static_cast<std::int64_t>(places));
}

std::string integerDigits(const DecimalNumber& number) {
    const std::int64_t count = leadingPlace(number) + 1;
    if (number.isZero() || count <= 0) {
        return {};
    }
    std::string digits = number.digits.substr(0, static_cast<std::size_t>(count));
    digits.resize(static_cast<std::size_t>(count), '0');
    return digits;
}

std::string fractionDigits(const DecimalNumber& number, int places) {
    std::string result(static_cast<std::size_t>(places), '0');
    const std::int64_t lead = leadingPlace(number);
    for (std::size_t i = 0; i < number.digits.size(); ++i) {
        // The digit at index i sits at place lead - i; fraction place p (0-based) is -(p + 1).
        const std::int64_t p = -(lead - static_cast<std::int64_t>(i)) - 1;
        if (p >= 0 && p < places) {
            result[static_cast<std::size_t>(p)] = number.digits[i];
        }
    }
    return result;
}

std::optional<std::int64_t> toRoundedInteger(const DecimalNumber& number, std::int64_t minimum,
                                             std::int64_t maximum) {
    const DecimalNumber rounded = roundToPlaces(number, 0, Rounding::HalfEven);
    if (rounded.isZero()) {
        return minimum <= 0 && 0 <= maximum ? std::optional<std::int64_t>(0) : std::nullopt;
    }
    if (leadingPlace(rounded) > 19) {
        return std::nullopt;
    }
    std::uint64_t magnitude = 0;
    for (char digit : integerDigits(rounded)) {
        const auto d = static_cast<std::uint64_t>(digit - '0');
        if (magnitude > (std::numeric_limits<std::uint64_t>::max() - d) / 10) {
            return std::nullopt;
        }
        magnitude = magnitude * 10 + d;
    }
    const auto limit = rounded.negative ? 0 - static_cast<std::uint64_t>(minimum)
                                        : static_cast<std::uint64_t>(maximum);
    if ((rounded.negative && minimum >= 0) || (!rounded.negative && maximum < 0) ||
        magnitude > limit) {
        return std::nullopt;
    }
    return rounded.negative ? static_cast<std::int64_t>(0 - magnitude)
                            : static_cast<std::int64_t>(magnitude);
}

std::optional<double> toDouble(const DecimalNumber& number) {
    if (number.isZero()) {
        return 0.0;
    }
    const std::int64_t lead = leadingPlace(number);
    if (lead > 309) {
        return std::nullopt;
    }
    if (lead < -330) {
        return number.negative ? -0.0 : 0.0;
    }
    // Beyond 800 significant digits only a tie could still change the nearest double; a final
    // '1' in place of the cut digits keeps it from being taken for an exact half.
    constexpr std::size_t kMaxDigits = 800;
    std::string text = number.digits;
    std::int64_t exponent = number.exponent;
    if (text.size() > kMaxDigits) {
        exponent += static_cast<std::int64_t>(text.size() - kMaxDigits - 1);
        text.resize(kMaxDigits);
        text.push_back('1');
    }
    text += 'e';
    text += std::to_string(exponent);
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        if (lead > 0) {
            return std::nullopt;
        }
        value = 0.0;
    }
    return number.negative ? -value : value;
}

}  // namespace kx
