#pragma once
// Column descriptions of a row set: the data types (numbered as the old data-access library
// numbers them, so stored numbers stay meaningful) and one column's schema.

#include <cstdint>
#include <string>
#include <string_view>

namespace kx::rowset {

enum class DataType : std::int32_t {
    adSmallInt = 2,
    adInteger = 3,
    adSingle = 4,
    adDouble = 5,
    adCurrency = 6,
    adDate = 7,
    adBoolean = 11,
    adTinyInt = 16,
    adUnsignedTinyInt = 17,
    adUnsignedSmallInt = 18,
    adUnsignedInt = 19,
    adBigInt = 20,
    adGUID = 72,
    adBinary = 128,
    adChar = 129,
    adWChar = 130,
    adNumeric = 131,
    adDBTimeStamp = 135,
    adVarNumeric = 139,
    adVarChar = 200,
    adLongVarChar = 201,
    adVarWChar = 202,
    adLongVarWChar = 203,
    adVarBinary = 204,
    adLongVarBinary = 205,
};

// How values of a type are held in a Variant. Every value stored in a row set has exactly the
// storage kind of its column (or is Null).
enum class ValueKind : std::uint8_t {
    Text,      // std::string, UTF-8 (also GUIDs, kept as written)
    Bytes,     // std::string of raw bytes (binary columns)
    Int16,     // adSmallInt, adTinyInt
    UInt8,     // adUnsignedTinyInt
    Int32,     // adInteger, adUnsignedSmallInt
    Int64,     // adBigInt, adUnsignedInt
    Single,    // float
    Double,    // adDouble and the decimal types (held as a double)
    Currency,  // kx::Currency
    Date,      // kx::OleDate
    Boolean,   // bool
};

ValueKind valueKindOf(DataType type);
bool isTextType(DataType type);  // text and GUID columns, whose values are std::string text
// Text columns whose defined size limits the number of characters (GUIDs excluded).
bool isStringType(DataType type);
// The type's name as the old library spells it ("adVarWChar"); "adUnknown" never occurs for
// the enumerators above.
std::string_view dataTypeName(DataType type);

// Field attribute bits, as the old library numbers them (only those this row set honours).
inline constexpr std::int32_t adFldFixed = 0x10;
inline constexpr std::int32_t adFldIsNullable = 0x20;
inline constexpr std::int32_t adFldMayBeNull = 0x40;
inline constexpr std::int32_t adFldLong = 0x80;

// One column. `definedSize` counts characters for text, bytes for binary; 0 means "no declared
// limit" (a text column read from a document without a length).
struct FieldInfo {
    std::string name;
    DataType type = DataType::adVarWChar;
    std::int64_t definedSize = 0;
    bool nullable = true;
    bool fixedLength = false;
    bool isLong = false;
    std::int32_t precision = 0;
    std::int32_t numericScale = 0;
};

}  // namespace kx::rowset
