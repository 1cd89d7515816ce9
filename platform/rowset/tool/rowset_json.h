#pragma once
// A row set as JSON: {"fields":[{"name":..,"type":..}],"rows":[{"column":value,...}]}.
// Numbers are JSON numbers, Booleans JSON Booleans, Null null, dates yyyy-mm-ddThh:mm:ss text,
// binary values hex text. Text that is not valid UTF-8 has the bad bytes replaced by U+FFFD.

#include <string>

#include "platform/rowset/recordset.h"

namespace kx::rowset {

// The schema and the visible rows of an open set, from the first; leaves the set at EOF.
std::string rowsetToJson(Recordset& rs);

}  // namespace kx::rowset
