#include "platform/rowset/value_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

#include "platform/rowset/data_types.h"
#include "platform/rowset/date_time.h"
#include "platform/runtime/decimal_number.h"
#include "platform/runtime/number_text.h"
#include "platform/runtime/vb_date.h"
#include "platform/text/ascii_text.h"

namespace kx::rowset {

namespace {

std::optional<Variant> makeInteger(DataType type, std::int64_t value) {
    const detail::DataTypeFacts facts = detail::factsOf(type);
    const std::int64_t low = facts.minimum;
    const std::int64_t high = facts.maximum;
    if (value < low || value > high) {
        return std::nullopt;
    }
    switch (valueKindOf(type)) {
        case ValueKind::Int16:
            return Variant(static_cast<std::int16_t>(value));
        case ValueKind::UInt8:
            return Variant(static_cast<std::uint8_t>(value));
        case ValueKind::Int32:
            return Variant(static_cast<std::int32_t>(value));
        default:
            return Variant(value);
    }
}

// [+-]?digits, exactly.
std::optional<std::int64_t> parseInteger(std::string_view text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') {
            return std::nullopt;
        }
    }
    std::int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

// [+-]? (digits [. digits?] | . digits) ([eE] [+-]? digits)?, the document's number spelling.
bool isNumberSpelling(std::string_view t) {
    std::size_t i = 0;
    auto digitsFrom = [&](std::size_t& at) {
        const std::size_t start = at;
        while (at < t.size() && t[at] >= '0' && t[at] <= '9') {
            ++at;
        }
        return at - start;
    };
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
        ++i;
    }
    std::size_t mantissa = digitsFrom(i);
    if (i < t.size() && t[i] == '.') {
        ++i;
        mantissa += digitsFrom(i);
    }
    if (mantissa == 0) {
        return false;
    }
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
            ++i;
        }
        if (digitsFrom(i) == 0) {
            return false;
        }
    }
    return i == t.size();
}

template <typename Real>
std::optional<Real> parseReal(std::string_view text) {
    if (!isNumberSpelling(text)) {
        return std::nullopt;
    }
    if (text.front() == '+') {
        text.remove_prefix(1);
    }
    Real value{};
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::int64_t> roundToInt64(double value) {
    const double rounded = std::nearbyint(value);  // half to even, the runtime's rounding
    if (!(rounded >= -9.2233720368547758e18 && rounded < 9.2233720368547758e18)) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(rounded);
}

std::optional<Currency> currencyFromDouble(double value) {
    auto scaled = roundToInt64(value * 10000.0);
    if (!scaled) {
        return std::nullopt;
    }
    return Currency{*scaled};
}

// Exact decimal text to a currency amount; more than four decimals round half to even.
std::optional<Currency> parseCurrency(std::string_view text) {
    if (!isNumberSpelling(text)) {
        return std::nullopt;
    }
    auto number = parseNumberText(text);
    if (!number) {
        return std::nullopt;
    }
    number->exponent += 4;  // in ten-thousandths
    const auto scaled = toRoundedInteger(*number, std::numeric_limits<std::int64_t>::min(),
                                         std::numeric_limits<std::int64_t>::max());
    return scaled ? std::optional<Currency>(Currency{*scaled}) : std::nullopt;
}

std::string formatCurrency(Currency value) {
    const bool negative = value.scaled < 0;
    const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value.scaled)
                                             : static_cast<std::uint64_t>(value.scaled);
    std::string text = negative ? "-" : "";
    text += std::to_string(magnitude / 10000);
    std::uint64_t fraction = magnitude % 10000;
    if (fraction != 0) {
        std::string digits = std::to_string(fraction);
        digits.insert(0, 4 - digits.size(), '0');
        while (digits.back() == '0') {
            digits.pop_back();
        }
        text += '.' + digits;
    }
    return text;
}

template <typename Real>
std::optional<std::string> formatReal(Real value) {
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (ec != std::errc()) {
        return std::nullopt;
    }
    return std::string(buffer, end);
}

std::optional<bool> parseBoolean(std::string_view text) {
    if (text == "True" || text == "true" || text == "1" || text == "-1") {
        return true;
    }
    if (text == "False" || text == "false" || text == "0") {
        return false;
    }
    return std::nullopt;
}

std::optional<std::string> parseHex(std::string_view text) {
    if (text.size() % 2 != 0) {
        return std::nullopt;
    }
    std::string bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = hexDigitValue(text[i]);
        const int low = hexDigitValue(text[i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes += static_cast<char>(high * 16 + low);
    }
    return bytes;
}

std::string formatHex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (char b : bytes) {
        const auto byte = static_cast<unsigned char>(b);
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0Fu];
    }
    return text;
}

// A GUID with or without braces: 8-4-4-4-12 hexadecimal digits.
bool isGuidText(std::string_view text) {
    if (text.size() == 38 && text.front() == '{' && text.back() == '}') {
        text = text.substr(1, 36);
    }
    if (text.size() != 36) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? text[i] != '-' : hexDigitValue(text[i]) < 0) {
            return false;
        }
    }
    return true;
}

// Numeric text as assignments accept it: blanks around, a '$' after an optional sign.
std::optional<std::string> normalisedNumberText(std::string_view text) {
    text = ascii::trimSpaces(text);
    std::string out;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        out += text.front();
        text.remove_prefix(1);
    }
    if (!text.empty() && text.front() == '$') {
        text.remove_prefix(1);
    }
    out += text;
    if (!isNumberSpelling(out)) {
        return std::nullopt;
    }
    return out;
}

std::optional<Variant> convertNumber(DataType type, double number) {
    switch (valueKindOf(type)) {
        case ValueKind::Single: {
            const auto narrowed = static_cast<float>(number);
            return std::isfinite(narrowed) ? std::optional<Variant>(narrowed) : std::nullopt;
        }
        case ValueKind::Double:
            return std::isfinite(number) ? std::optional<Variant>(number) : std::nullopt;
        case ValueKind::Currency: {
            auto amount = currencyFromDouble(number);
            return amount ? std::optional<Variant>(*amount) : std::nullopt;
        }
        case ValueKind::Date:
            // Only dates that can be shown and saved: finite and within years 100-9999.
            return partsOfDateToMillisecond(OleDate{number})
                       ? std::optional<Variant>(OleDate{number})
                       : std::nullopt;
        case ValueKind::Boolean:
            return Variant(number != 0.0);
        default: {
            auto integer = roundToInt64(number);
            return integer ? makeInteger(type, *integer) : std::nullopt;
        }
    }
}

std::optional<Variant> convertText(DataType type, const std::string& text) {
    const ValueKind kind = valueKindOf(type);
    if (kind == ValueKind::Boolean) {
        if (ascii::equalsNoCase(ascii::trimSpaces(text), "true")) {
            return Variant(true);
        }
        if (ascii::equalsNoCase(ascii::trimSpaces(text), "false")) {
            return Variant(false);
        }
    }
    if (kind == ValueKind::Date) {
        if (auto date = parseDateText(text, DateTextRules::UsLiteral)) {
            return Variant(*date);
        }
    }
    auto number = normalisedNumberText(text);
    if (!number) {
        return std::nullopt;
    }
    if (kind == ValueKind::Currency) {
        auto amount = parseCurrency(*number);
        return amount ? std::optional<Variant>(*amount) : std::nullopt;
    }
    if (auto exact = parseInteger(*number); exact && kind != ValueKind::Single &&
                                            kind != ValueKind::Double && kind != ValueKind::Date) {
        return kind == ValueKind::Boolean ? Variant(*exact != 0) : makeInteger(type, *exact);
    }
    auto real = parseReal<double>(*number);
    return real ? convertNumber(type, *real) : std::nullopt;
}

}  // namespace

std::optional<Variant> parseXdrValue(DataType type, std::string_view text) {
    switch (valueKindOf(type)) {
        case ValueKind::Text:
            if (type == DataType::adGUID && !isGuidText(text)) {
                return std::nullopt;
            }
            return Variant(std::string(text));
        case ValueKind::Bytes: {
            auto bytes = parseHex(text);
            return bytes ? std::optional<Variant>(std::move(*bytes)) : std::nullopt;
        }
        case ValueKind::Single: {
            auto value = parseReal<float>(text);
            return value ? std::optional<Variant>(*value) : std::nullopt;
        }
        case ValueKind::Double: {
            auto value = parseReal<double>(text);
            return value ? std::optional<Variant>(*value) : std::nullopt;
        }
        case ValueKind::Currency: {
            auto value = parseCurrency(text);
            return value ? std::optional<Variant>(*value) : std::nullopt;
        }
        case ValueKind::Date: {
            auto value = parseIsoDateTime(text);
            return value ? std::optional<Variant>(*value) : std::nullopt;
        }
        case ValueKind::Boolean: {
            auto value = parseBoolean(text);
            return value ? std::optional<Variant>(*value) : std::nullopt;
        }
        default: {
            auto value = parseInteger(text);
            return value ? makeInteger(type, *value) : std::nullopt;
        }
    }
}

std::optional<std::string> formatXdrValue(DataType type, const Variant& value) {
    const auto& storage = value.storage();
    switch (valueKindOf(type)) {
        case ValueKind::Text:
            if (const auto* text = std::get_if<std::string>(&storage)) {
                return *text;
            }
            return std::nullopt;
        case ValueKind::Bytes:
            if (const auto* bytes = std::get_if<std::string>(&storage)) {
                return formatHex(*bytes);
            }
            return std::nullopt;
        case ValueKind::Boolean:
            if (const auto* flag = std::get_if<bool>(&storage)) {
                return std::string(*flag ? "True" : "False");
            }
            return std::nullopt;
        default:
            return textOfValue(value);
    }
}

std::optional<std::string> textOfValue(const Variant& value) {
    return std::visit(
        [](const auto& v) -> std::optional<std::string> {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return std::string();
            } else if constexpr (std::is_same_v<T, bool>) {
                return std::string(v ? "True" : "False");
            } else if constexpr (std::is_same_v<T, std::uint8_t> ||
                                 std::is_same_v<T, std::int16_t> ||
                                 std::is_same_v<T, std::int32_t> ||
                                 std::is_same_v<T, std::int64_t>) {
                return std::to_string(v);
            } else if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) {
                return formatReal(v);
            } else if constexpr (std::is_same_v<T, Currency>) {
                return formatCurrency(v);
            } else if constexpr (std::is_same_v<T, OleDate>) {
                return formatXdrDateTime(v);
            } else if constexpr (std::is_same_v<T, std::string>) {
                return v;
            } else {
                return std::nullopt;
            }
        },
        value.storage());
}

std::optional<Variant> convertValue(DataType type, const Variant& value) {
    const ValueKind kind = valueKindOf(type);
    if (kind == ValueKind::Text || kind == ValueKind::Bytes) {
        if (value.isEmpty() || (kind == ValueKind::Bytes && !value.isString())) {
            return std::nullopt;
        }
        auto text = textOfValue(value);
        if (!text || (type == DataType::adGUID && !isGuidText(*text))) {
            return std::nullopt;
        }
        return Variant(std::move(*text));
    }
    if (value.isString()) {
        return convertText(type, value.asString());
    }
    if (const auto* amount = std::get_if<Currency>(&value.storage());
        amount && kind == ValueKind::Currency) {
        return Variant(*amount);
    }
    if (const auto* big = std::get_if<std::int64_t>(&value.storage());
        big && (kind == ValueKind::Int16 || kind == ValueKind::UInt8 || kind == ValueKind::Int32 ||
                kind == ValueKind::Int64)) {
        return makeInteger(type, *big);  // exact, beyond what a double holds
    }
    if (!value.isNumeric() && value.type() != VarType::Date) {
        return std::nullopt;
    }
    return convertNumber(type, value.numberValue());
}

}  // namespace kx::rowset
