#include "platform/rowset/field_info.h"

#include "platform/rowset/data_types.h"

namespace kx::rowset {

ValueKind valueKindOf(DataType type) {
    return detail::factsOf(type).kind;
}

bool isTextType(DataType type) {
    return valueKindOf(type) == ValueKind::Text;
}

bool isStringType(DataType type) {
    return isTextType(type) && type != DataType::adGUID;
}

std::string_view dataTypeName(DataType type) {
    return detail::factsOf(type).name;
}

}  // namespace kx::rowset
