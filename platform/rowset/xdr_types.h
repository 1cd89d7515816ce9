#pragma once
// How column types are declared in row-set documents: the data-type name (dt:type), the
// refinement rs:dbtype, and the size and precision the old library declared for each type.
// Internal to the row-set library.

#include <cstdint>
#include <optional>
#include <string_view>

#include "field_info.h"

namespace kx::rowset::detail {

struct XdrTypeSpelling {
    std::string_view dtType;
    std::string_view dbType;     // empty when not written
    std::int64_t size = 0;       // dt:maxLength of fixed-size types; 0 for variable ones
    std::int32_t precision = 0;  // rs:precision, 0 when not written
    bool fixedLength = false;    // rs:fixedlength of fixed-size types
};

XdrTypeSpelling xdrSpellingOf(DataType type);

// The column type a declaration names; nullopt for a type name this reader does not know.
// An empty dt:type is text.
std::optional<DataType> dataTypeFromXdr(std::string_view dtType, std::string_view dbType,
                                        bool fixedLength, bool isLong);

}  // namespace kx::rowset::detail
