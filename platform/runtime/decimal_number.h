#pragma once
// Exact decimal numbers for the conversions and Format: a sign, a digit string and a power of
// ten. Integers of every width and Currency convert exactly; floating-point values convert with
// the number of significant digits the old runtime shows (15 for Double, 7 for Single), so that
// rounding works on the digits a user sees rather than on the binary approximation.

#include <cstdint>
#include <optional>
#include <string>

namespace kx {

struct Currency;

struct DecimalNumber {
    bool negative = false;
    // Significant digits without leading or trailing zeros; empty for zero.
    std::string digits;
    // The value is digits x 10^exponent.
    std::int64_t exponent = 0;

    bool isZero() const { return digits.empty(); }
    friend bool operator==(const DecimalNumber&, const DecimalNumber&) = default;
};

enum class Rounding : std::uint8_t {
    HalfEven,          // the conversions (CInt, CLng): 2.5 -> 2, 3.5 -> 4
    HalfAwayFromZero,  // Format: 2.5 -> 3, -2.5 -> -3
};

// Builds a normalised number from a sign, digits (leading and trailing zeros allowed; only
// '0'-'9') and a power of ten.
DecimalNumber makeDecimal(bool negative, std::string digits, std::int64_t exponent);

DecimalNumber decimalFromInteger(std::int64_t value);
DecimalNumber decimalFromUnsigned(std::uint64_t value, bool negative);
DecimalNumber decimalFromCurrency(Currency value);
// `value` must be finite. `significantDigits` is between 1 and 17.
DecimalNumber decimalFromDouble(double value, int significantDigits);

// The number rounded to `places` digits after the decimal point (places >= 0).
DecimalNumber roundToPlaces(const DecimalNumber& number, int places, Rounding rounding);

// The digits before the decimal point ("" when the magnitude is below 1), and the first `places`
// digits after it (padded with zeros).
std::string integerDigits(const DecimalNumber& number);
std::string fractionDigits(const DecimalNumber& number, int places);

// The number rounded half to even to an integer, or nothing when that integer lies outside
// [minimum, maximum].
std::optional<std::int64_t> toRoundedInteger(const DecimalNumber& number, std::int64_t minimum,
                                             std::int64_t maximum);

// The nearest double, or nothing when the magnitude exceeds the double range. Magnitudes below
// the smallest double give zero.
std::optional<double> toDouble(const DecimalNumber& number);

}  // namespace kx
