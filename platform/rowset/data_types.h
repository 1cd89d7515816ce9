#pragma once
// Everything the row set knows of each column type, in one table (data_types.cpp): its name, how
// its values are held, how documents declare it and the range of an integer type. Internal to the
// row-set library.

#include <cstdint>
#include <string_view>

#include "platform/rowset/field_info.h"

namespace kx::rowset::detail {

// How a type is declared in row-set documents: the data-type name (dt:type), the refinement
// rs:dbtype, and the size and precision the old library declared for it.
struct XdrTypeSpelling {
    std::string_view dtType;
    std::string_view dbType;     // empty when not written
    std::int64_t size = 0;       // dt:maxLength of fixed-size types; 0 for variable ones
    std::int32_t precision = 0;  // rs:precision, 0 when not written
    bool fixedLength = false;    // rs:fixedlength of fixed-size types
};

struct DataTypeFacts {
    std::string_view name;  // as the old library spells it ("adVarWChar")
    ValueKind kind;
    XdrTypeSpelling xdr;
    // The values a column of the type holds when they are integers.
    std::int64_t minimum;
    std::int64_t maximum;
};

DataTypeFacts factsOf(DataType type);

}  // namespace kx::rowset::detail
