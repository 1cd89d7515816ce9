#include "platform/runtime/vb_convert.h"

#include <cmath>
#include <limits>

#include "platform/runtime/decimal_number.h"
#include "platform/runtime/number_text.h"
#include "platform/runtime/run_time_error.h"
#include "platform/runtime/vb_date.h"

namespace kx {

namespace {

[[noreturn]] void raiseForNonNumber(const Variant& value) {
    raiseError(value.isNull() ? vberr::kInvalidUseOfNull : vberr::kTypeMismatch);
}

DecimalNumber numberOfText(const std::string& text) {
    auto number = parseNumberText(text);
    if (!number) {
        raiseError(vberr::kTypeMismatch);
    }
    return *std::move(number);
}

bool isFloatingKind(VarType type) {
    return type == VarType::Single || type == VarType::Double || type == VarType::Date;
}

std::int64_t toIntegerInRange(const Variant& value, std::int64_t minimum, std::int64_t maximum) {
    if (!isFloatingKind(value.type())) {
        const auto result = toRoundedInteger(decimalValue(value), minimum, maximum);
        if (!result) {
            raiseError(vberr::kOverflow);
        }
        return *result;
    }
    // Floating-point values round in binary, as the runtime does. nearbyint rounds half to even in
    // the default rounding mode. The bounds are compared as doubles after rounding; 2^63 itself is
    // exactly representable and out of range.
    const double rounded = std::nearbyint(value.numberValue());
    if (!(rounded >= static_cast<double>(minimum) && rounded <= static_cast<double>(maximum)) ||
        rounded >= 9223372036854775808.0) {
        raiseError(vberr::kOverflow);
    }
    return static_cast<std::int64_t>(rounded);
}

// The number in plain positional form: "-0.5", "1234", "3.25".
std::string plainDecimalText(const DecimalNumber& number) {
    const std::string whole = integerDigits(number);
    std::string text = number.negative ? "-" : "";
    text += whole.empty() ? "0" : whole;
    if (number.exponent < 0) {
        text += '.';
        text += fractionDigits(number, static_cast<int>(-number.exponent));
    }
    return text;
}

// Up to `significant` digits, without trailing zeros, in the runtime's fixed or exponent form.
std::string floatingToText(double value, int significant) {
    if (std::isnan(value)) {
        return "NaN";
    }
    if (std::isinf(value)) {
        return value > 0 ? "Infinity" : "-Infinity";
    }
    const DecimalNumber number = decimalFromDouble(value, significant);
    if (number.isZero()) {
        return "0";
    }
    const auto digitCount = static_cast<std::int64_t>(number.digits.size());
    const std::int64_t lead = digitCount - 1 + number.exponent;
    if (lead < -4 || lead >= significant) {
        std::string text = number.negative ? "-" : "";
        text += number.digits.front();
        if (digitCount > 1) {
            text += '.';
            text += number.digits.substr(1);
        }
        const std::int64_t magnitude = lead < 0 ? -lead : lead;
        text += lead < 0 ? "E-" : "E+";
        if (magnitude < 10) {
            text += '0';
        }
        text += std::to_string(magnitude);
        return text;
    }
    return plainDecimalText(number);
}

}  // namespace

DecimalNumber decimalValue(const Variant& value) {
    const auto& storage = value.storage();
    switch (value.type()) {
        case VarType::Empty:
            return DecimalNumber{};
        case VarType::Boolean:
            return decimalFromInteger(std::get<bool>(storage) ? -1 : 0);
        case VarType::Byte:
            return decimalFromInteger(std::get<std::uint8_t>(storage));
        case VarType::Integer:
            return decimalFromInteger(std::get<std::int16_t>(storage));
        case VarType::Long:
            return decimalFromInteger(std::get<std::int32_t>(storage));
        case VarType::LongLong:
            return decimalFromInteger(std::get<std::int64_t>(storage));
        case VarType::Currency:
            return decimalFromCurrency(std::get<Currency>(storage));
        case VarType::String:
            return numberOfText(std::get<std::string>(storage));
        case VarType::Single:
        case VarType::Double:
        case VarType::Date: {
            const double number = value.numberValue();
            if (!std::isfinite(number)) {
                raiseError(vberr::kOverflow);
            }
            return decimalFromDouble(number, value.type() == VarType::Single ? 7 : 15);
        }
        default:
            raiseForNonNumber(value);
    }
}

std::int16_t CInt(const Variant& value) {
    return static_cast<std::int16_t>(toIntegerInRange(
        value, std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max()));
}

std::int32_t CLng(const Variant& value) {
    return static_cast<std::int32_t>(toIntegerInRange(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::int64_t CLngLng(const Variant& value) {
    return toIntegerInRange(value, std::numeric_limits<std::int64_t>::min(),
                            std::numeric_limits<std::int64_t>::max());
}

double CDbl(const Variant& value) {
    if (value.isString()) {
        const auto result = toDouble(numberOfText(value.asString()));
        if (!result) {
            raiseError(vberr::kOverflow);
        }
        return *result;
    }
    if (value.isEmpty()) {
        return 0.0;
    }
    if (!value.isNumeric() && value.type() != VarType::Date) {
        raiseForNonNumber(value);
    }
    return value.numberValue();
}

bool IsNumeric(const Variant& value) {
    if (value.isString()) {
        const auto number = parseNumberText(value.asString());
        return number && toDouble(*number).has_value();
    }
    return value.isEmpty() || value.isNumeric();
}

std::string doubleToText(double value) {
    return floatingToText(value, 15);
}

std::string singleToText(float value) {
    return floatingToText(static_cast<double>(value), 7);
}

std::string CStr(const Variant& value) {
    const auto& storage = value.storage();
    switch (value.type()) {
        case VarType::Empty:
            return {};
        case VarType::Missing:
            return "Error 448";
        case VarType::Boolean:
            return std::get<bool>(storage) ? "True" : "False";
        case VarType::Byte:
            return std::to_string(std::get<std::uint8_t>(storage));
        case VarType::Integer:
            return std::to_string(std::get<std::int16_t>(storage));
        case VarType::Long:
            return std::to_string(std::get<std::int32_t>(storage));
        case VarType::LongLong:
            return std::to_string(std::get<std::int64_t>(storage));
        case VarType::Single:
            return singleToText(std::get<float>(storage));
        case VarType::Double:
            return doubleToText(std::get<double>(storage));
        case VarType::Currency:
            return plainDecimalText(decimalFromCurrency(std::get<Currency>(storage)));
        case VarType::Date:
            return formatGeneralDate(std::get<OleDate>(storage));
        case VarType::String:
            return std::get<std::string>(storage);
        default:
            raiseForNonNumber(value);
    }
}

}  // namespace kx
