#include "xdr_types.h"

namespace kx::rowset::detail {

XdrTypeSpelling xdrSpellingOf(DataType type) {
    switch (type) {
        case DataType::adSmallInt:
            return {"i2", "", 2, 5, true};
        case DataType::adInteger:
            return {"int", "", 4, 10, true};
        case DataType::adTinyInt:
            return {"i1", "", 1, 3, true};
        case DataType::adUnsignedTinyInt:
            return {"ui1", "", 1, 3, true};
        case DataType::adUnsignedSmallInt:
            return {"ui2", "", 2, 5, true};
        case DataType::adUnsignedInt:
            return {"ui4", "", 4, 10, true};
        case DataType::adBigInt:
            return {"i8", "", 8, 19, true};
        case DataType::adSingle:
            return {"r4", "", 4, 7, true};
        case DataType::adDouble:
            return {"float", "", 8, 15, true};
        case DataType::adCurrency:
            return {"number", "currency", 8, 19, true};
        case DataType::adNumeric:
            return {"number", "numeric", 19, 0, true};
        case DataType::adVarNumeric:
            return {"number", "varnumeric", 0, 0, false};
        case DataType::adDate:
            return {"dateTime", "variantdate", 16, 0, true};
        case DataType::adDBTimeStamp:
            return {"dateTime", "timestamp", 16, 19, true};
        case DataType::adBoolean:
            return {"boolean", "", 2, 0, true};
        case DataType::adGUID:
            return {"uuid", "", 16, 0, true};
        case DataType::adChar:
        case DataType::adVarChar:
        case DataType::adLongVarChar:
            return {"string", "str", 0, 0, false};
        case DataType::adWChar:
        case DataType::adVarWChar:
        case DataType::adLongVarWChar:
            return {"string", "", 0, 0, false};
        case DataType::adBinary:
        case DataType::adVarBinary:
        case DataType::adLongVarBinary:
            return {"bin.hex", "", 0, 0, false};
    }
    return {"string", "", 0, 0, false};
}

namespace {
DataType pick(bool fixedLength, bool isLong, DataType fixed, DataType longType, DataType var) {
    if (fixedLength) {
        return fixed;
    }
    return isLong ? longType : var;
}
}  // namespace

std::optional<DataType> dataTypeFromXdr(std::string_view dtType, std::string_view dbType,
                                        bool fixedLength, bool isLong) {
    if (dtType.empty() || dtType == "string") {
        if (dbType == "str") {
            return pick(fixedLength, isLong, DataType::adChar, DataType::adLongVarChar,
                        DataType::adVarChar);
        }
        return pick(fixedLength, isLong, DataType::adWChar, DataType::adLongVarWChar,
                    DataType::adVarWChar);
    }
    if (dtType == "int" || dtType == "i4")
        return DataType::adInteger;
    if (dtType == "i2")
        return DataType::adSmallInt;
    if (dtType == "i1")
        return DataType::adTinyInt;
    if (dtType == "ui1")
        return DataType::adUnsignedTinyInt;
    if (dtType == "ui2")
        return DataType::adUnsignedSmallInt;
    if (dtType == "ui4")
        return DataType::adUnsignedInt;
    if (dtType == "i8")
        return DataType::adBigInt;
    if (dtType == "r4")
        return DataType::adSingle;
    if (dtType == "float" || dtType == "r8")
        return DataType::adDouble;
    if (dtType == "fixed.14.4")
        return DataType::adCurrency;
    if (dtType == "number") {
        if (dbType == "currency")
            return DataType::adCurrency;
        if (dbType == "varnumeric")
            return DataType::adVarNumeric;
        return DataType::adNumeric;
    }
    if (dtType == "boolean")
        return DataType::adBoolean;
    if (dtType == "dateTime" || dtType == "dateTime.tz") {
        return dbType == "variantdate" ? DataType::adDate : DataType::adDBTimeStamp;
    }
    if (dtType == "uuid")
        return DataType::adGUID;
    if (dtType == "bin.hex") {
        return pick(fixedLength, isLong, DataType::adBinary, DataType::adLongVarBinary,
                    DataType::adVarBinary);
    }
    return std::nullopt;
}

}  // namespace kx::rowset::detail
