#pragma once
// Values of row-set columns: their spelling in documents (locale-independent: digits, '.',
// optional exponent; dates yyyy-mm-ddThh:mm:ss; Booleans True/False; binary as hex) and the
// conversion of any runtime value into the storage kind of a column.

#include <optional>
#include <string>
#include <string_view>

#include "platform/rowset/field_info.h"
#include "platform/runtime/variant.h"

namespace kx::rowset {

// The value that `text` spells in a document for a column of `type`, in the column's storage
// kind. Nullopt when the text is not a valid spelling or the value does not fit the type.
// Booleans accept True/False/true/false/1/0/-1; dates accept an optional fraction and zone.
std::optional<Variant> parseXdrValue(DataType type, std::string_view text);

// The document spelling of `value`, which must have the storage kind of `type`. Nullopt when
// the value cannot be spelled (a date outside the valid range, a number that is not finite, a
// value of another kind).
std::optional<std::string> formatXdrValue(DataType type, const Variant& value);

// Converts a runtime value for storage in a column of `type`, as an assignment to a field does:
// numbers of any width, numeric text (blanks, '$', exponent allowed), Booleans, dates and date
// text. Integers round half to even. Nullopt when the value cannot be converted or does not fit
// the type's range. Text columns take the text form of any scalar. Null is not handled here.
std::optional<Variant> convertValue(DataType type, const Variant& value);

// The text form of a scalar value: numbers in document spelling, Booleans "True"/"False",
// dates yyyy-mm-ddThh:mm:ss, strings as they are. Nullopt for Null, objects and arrays.
std::optional<std::string> textOfValue(const Variant& value);

// The bytes of a value of a binary column (held as a byte string).
inline const std::string& bytesOf(const Variant& value) {
    return value.asString();
}

}  // namespace kx::rowset
