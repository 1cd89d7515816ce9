#include "field_info.h"

namespace kx::rowset {

ValueKind valueKindOf(DataType type) {
    switch (type) {
        case DataType::adSmallInt:
        case DataType::adTinyInt:
            return ValueKind::Int16;
        case DataType::adUnsignedTinyInt:
            return ValueKind::UInt8;
        case DataType::adInteger:
        case DataType::adUnsignedSmallInt:
            return ValueKind::Int32;
        case DataType::adBigInt:
        case DataType::adUnsignedInt:
            return ValueKind::Int64;
        case DataType::adSingle:
            return ValueKind::Single;
        case DataType::adDouble:
        case DataType::adNumeric:
        case DataType::adVarNumeric:
            return ValueKind::Double;
        case DataType::adCurrency:
            return ValueKind::Currency;
        case DataType::adDate:
        case DataType::adDBTimeStamp:
            return ValueKind::Date;
        case DataType::adBoolean:
            return ValueKind::Boolean;
        case DataType::adBinary:
        case DataType::adVarBinary:
        case DataType::adLongVarBinary:
            return ValueKind::Bytes;
        case DataType::adGUID:
        case DataType::adChar:
        case DataType::adWChar:
        case DataType::adVarChar:
        case DataType::adLongVarChar:
        case DataType::adVarWChar:
        case DataType::adLongVarWChar:
            return ValueKind::Text;
    }
    return ValueKind::Text;
}

bool isTextType(DataType type) {
    return valueKindOf(type) == ValueKind::Text;
}

bool isStringType(DataType type) {
    return isTextType(type) && type != DataType::adGUID;
}

std::string_view dataTypeName(DataType type) {
    switch (type) {
        case DataType::adSmallInt:
            return "adSmallInt";
        case DataType::adInteger:
            return "adInteger";
        case DataType::adSingle:
            return "adSingle";
        case DataType::adDouble:
            return "adDouble";
        case DataType::adCurrency:
            return "adCurrency";
        case DataType::adDate:
            return "adDate";
        case DataType::adBoolean:
            return "adBoolean";
        case DataType::adTinyInt:
            return "adTinyInt";
        case DataType::adUnsignedTinyInt:
            return "adUnsignedTinyInt";
        case DataType::adUnsignedSmallInt:
            return "adUnsignedSmallInt";
        case DataType::adUnsignedInt:
            return "adUnsignedInt";
        case DataType::adBigInt:
            return "adBigInt";
        case DataType::adGUID:
            return "adGUID";
        case DataType::adBinary:
            return "adBinary";
        case DataType::adChar:
            return "adChar";
        case DataType::adWChar:
            return "adWChar";
        case DataType::adNumeric:
            return "adNumeric";
        case DataType::adDBTimeStamp:
            return "adDBTimeStamp";
        case DataType::adVarNumeric:
            return "adVarNumeric";
        case DataType::adVarChar:
            return "adVarChar";
        case DataType::adLongVarChar:
            return "adLongVarChar";
        case DataType::adVarWChar:
            return "adVarWChar";
        case DataType::adLongVarWChar:
            return "adLongVarWChar";
        case DataType::adVarBinary:
            return "adVarBinary";
        case DataType::adLongVarBinary:
            return "adLongVarBinary";
    }
    return "adUnknown";
}

}  // namespace kx::rowset
