#include "platform/runtime/number_text.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "platform/text/ascii_text.h"

namespace kx {

namespace {

using ascii::isDigit;

// A cursor over the text with the small steps the grammar needs.
class Scanner {
  public:
    explicit Scanner(std::string_view text) : text_(text) {}

    bool atEnd() const { return pos_ >= text_.size(); }
    char peek(std::size_t ahead = 0) const {
        return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
    }
    void skipBlanks() {
        while (!atEnd() && ascii::isWhitespace(text_[pos_])) {
            ++pos_;
        }
    }
    bool accept(char c) {
        if (peek() == c && !atEnd()) {
            ++pos_;
            return true;
        }
        return false;
    }
    // Accepts '+' or '-'; sets `negative` for '-'.
    bool acceptSign(bool& negative) {
        if (accept('-')) {
            negative = true;
            return true;
        }
        return accept('+');
    }
    void advance() { ++pos_; }

  private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// "&H..." or "&O..." after the '&': the literal's value per the rule in the header.
std::optional<std::int64_t> scanRadixBody(Scanner& in) {
    const char kind = in.peek();
    int bitsPerDigit = 0;
    if (kind == 'H' || kind == 'h') {
        bitsPerDigit = 4;
    } else if (kind == 'O' || kind == 'o') {
        bitsPerDigit = 3;
    } else {
        return std::nullopt;
    }
    in.advance();
    const int radix = 1 << bitsPerDigit;
    std::uint64_t value = 0;
    int digitCount = 0;
    for (int d = hexDigitValue(in.peek()); d >= 0 && d < radix; d = hexDigitValue(in.peek())) {
        if (value > (std::numeric_limits<std::uint64_t>::max() >> bitsPerDigit)) {
            return std::nullopt;  // more than 64 bits
        }
        value = (value << bitsPerDigit) | static_cast<std::uint64_t>(d);
        ++digitCount;
        in.advance();
    }
    if (digitCount == 0) {
        return std::nullopt;
    }
    if (value <= 0xFFFFu) {
        return static_cast<std::int16_t>(value);
    }
    if (value <= 0xFFFFFFFFu) {
        return static_cast<std::int32_t>(value);
    }
    return static_cast<std::int64_t>(value);
}

// The exponent digits, saturated far beyond any representable magnitude.
std::optional<std::int64_t> scanExponent(Scanner& in) {
    bool negative = false;
    in.acceptSign(negative);
    if (!isDigit(in.peek())) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    while (isDigit(in.peek())) {
        value = std::min<std::int64_t>(value * 10 + (in.peek() - '0'), 1'000'000'000);
        in.advance();
    }
    return negative ? -value : value;
}

std::optional<DecimalNumber> scanDecimalBody(Scanner& in) {
    std::string digits;
    std::int64_t exponent = 0;
    bool sawDigit = false;
    // A group separator may not open the number.
    if (isDigit(in.peek())) {
        while (isDigit(in.peek()) || in.peek() == ',') {
            if (in.peek() != ',') {
                digits.push_back(in.peek());
            }
            in.advance();
        }
        sawDigit = true;
    }
    if (in.accept('.')) {
        while (isDigit(in.peek())) {
            digits.push_back(in.peek());
            --exponent;
            sawDigit = true;
            in.advance();
        }
    }
    if (!sawDigit) {
        return std::nullopt;
    }
    if (in.peek() == 'e' || in.peek() == 'E') {
        in.advance();
        const auto power = scanExponent(in);
        if (!power) {
            return std::nullopt;
        }
        exponent += *power;
    }
    return makeDecimal(false, std::move(digits), exponent);
}

std::optional<DecimalNumber> scanBody(Scanner& in) {
    if (in.accept('&')) {
        const auto value = scanRadixBody(in);
        if (!value) {
            return std::nullopt;
        }
        return decimalFromInteger(*value);
    }
    return scanDecimalBody(in);
}

}  // namespace

int hexDigitValue(char c) {
    if (isDigit(c)) {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::optional<DecimalNumber> parseNumberText(std::string_view text) {
    Scanner in(text);
    bool negative = false;
    in.skipBlanks();
    const bool parenthesised = in.accept('(');
    in.skipBlanks();
    bool signed_ = !parenthesised && in.acceptSign(negative);
    in.skipBlanks();
    if (in.accept('$')) {
        in.skipBlanks();
        if (!signed_ && !parenthesised) {
            signed_ = in.acceptSign(negative);
            in.skipBlanks();
        }
    }
    auto number = scanBody(in);
    if (!number) {
        return std::nullopt;
    }
    in.skipBlanks();
    if (!signed_ && !parenthesised && in.acceptSign(negative)) {
        in.skipBlanks();
    }
    if (parenthesised) {
        if (!in.accept(')')) {
            return std::nullopt;
        }
        negative = true;
        in.skipBlanks();
    }
    if (!in.atEnd()) {
        return std::nullopt;
    }
    // The sign of the text applies to the body's own value ("-&HFFFF" is -(-1)).
    if (!number->isZero()) {
        number->negative = number->negative != negative;
    }
    return number;
}

}  // namespace kx
