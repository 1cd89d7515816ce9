#include "platform/rowset/xdr_types.h"

namespace kx::rowset::detail {

XdrTypeSpelling xdrSpellingOf(DataType type) {
    return factsOf(type).xdr;
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
