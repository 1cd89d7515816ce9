#include "platform/rowset/data_types.h"

#include <limits>

namespace kx::rowset::detail {

namespace {
constexpr std::int64_t kLowest = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kHighest = std::numeric_limits<std::int64_t>::max();
}  // namespace

// One case a type, so that a type added to DataType without its facts fails to build.
DataTypeFacts factsOf(DataType type) {
    using enum ValueKind;
    switch (type) {
        case DataType::adSmallInt:
            return {"adSmallInt", Int16, {"i2", "", 2, 5, true}, -32768, 32767};
        case DataType::adInteger:
            return {"adInteger", Int32, {"int", "", 4, 10, true}, -2147483648LL, 2147483647LL};
        case DataType::adSingle:
            return {"adSingle", Single, {"r4", "", 4, 7, true}, kLowest, kHighest};
        case DataType::adDouble:
            return {"adDouble", Double, {"float", "", 8, 15, true}, kLowest, kHighest};
        case DataType::adCurrency:
            return {"adCurrency", Currency, {"number", "currency", 8, 19, true}, kLowest, kHighest};
        case DataType::adDate:
            return {"adDate", Date, {"dateTime", "variantdate", 16, 0, true}, kLowest, kHighest};
        case DataType::adBoolean:
            return {"adBoolean", Boolean, {"boolean", "", 2, 0, true}, kLowest, kHighest};
        case DataType::adTinyInt:
            return {"adTinyInt", Int16, {"i1", "", 1, 3, true}, -128, 127};
        case DataType::adUnsignedTinyInt:
            return {"adUnsignedTinyInt", UInt8, {"ui1", "", 1, 3, true}, 0, 255};
        case DataType::adUnsignedSmallInt:
            return {"adUnsignedSmallInt", Int32, {"ui2", "", 2, 5, true}, 0, 65535};
        case DataType::adUnsignedInt:
            return {"adUnsignedInt", Int64, {"ui4", "", 4, 10, true}, 0, 4294967295LL};
        case DataType::adBigInt:
            return {"adBigInt", Int64, {"i8", "", 8, 19, true}, kLowest, kHighest};
        case DataType::adGUID:
            return {"adGUID", Text, {"uuid", "", 16, 0, true}, kLowest, kHighest};
        case DataType::adBinary:
            return {"adBinary", Bytes, {"bin.hex", "", 0, 0, false}, kLowest, kHighest};
        case DataType::adChar:
            return {"adChar", Text, {"string", "str", 0, 0, false}, kLowest, kHighest};
        case DataType::adWChar:
            return {"adWChar", Text, {"string", "", 0, 0, false}, kLowest, kHighest};
        case DataType::adNumeric:
            return {"adNumeric", Double, {"number", "numeric", 19, 0, true}, kLowest, kHighest};
        case DataType::adDBTimeStamp:
            return {
                "adDBTimeStamp", Date, {"dateTime", "timestamp", 16, 19, true}, kLowest, kHighest};
        case DataType::adVarNumeric:
            return {
                "adVarNumeric", Double, {"number", "varnumeric", 0, 0, false}, kLowest, kHighest};
        case DataType::adVarChar:
            return {"adVarChar", Text, {"string", "str", 0, 0, false}, kLowest, kHighest};
        case DataType::adLongVarChar:
            return {"adLongVarChar", Text, {"string", "str", 0, 0, false}, kLowest, kHighest};
        case DataType::adVarWChar:
            return {"adVarWChar", Text, {"string", "", 0, 0, false}, kLowest, kHighest};
        case DataType::adLongVarWChar:
            return {"adLongVarWChar", Text, {"string", "", 0, 0, false}, kLowest, kHighest};
        case DataType::adVarBinary:
            return {"adVarBinary", Bytes, {"bin.hex", "", 0, 0, false}, kLowest, kHighest};
        case DataType::adLongVarBinary:
            return {"adLongVarBinary", Bytes, {"bin.hex", "", 0, 0, false}, kLowest, kHighest};
    }
    return {"adUnknown", Text, {"string", "", 0, 0, false}, kLowest, kHighest};
}

}  // namespace kx::rowset::detail
