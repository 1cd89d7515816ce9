#pragma once
// How column types are declared in row-set documents, and the type a declaration names.
// Internal to the row-set library.

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/rowset/data_types.h"

namespace kx::rowset::detail {

// How a type is declared in documents (data_types.cpp holds the spellings).
XdrTypeSpelling xdrSpellingOf(DataType type);

// The column type a declaration names; nullopt for a type name this reader does not know.
// An empty dt:type is text.
std::optional<DataType> dataTypeFromXdr(std::string_view dtType, std::string_view dbType,
                                        bool fixedLength, bool isLong);

}  // namespace kx::rowset::detail
