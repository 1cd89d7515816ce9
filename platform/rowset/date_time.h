#pragma once
// Dates of row sets on top of the runtime's calendar (vb_date.h): the document form
// yyyy-mm-ddThh:mm:ss[.fff]. Valid dates run from 1 January 100 to 31 December 9999, as for the
// old runtime. The date literals of filter criteria and date text assigned to fields are read by
// the runtime's parseDateText with DateTextRules::UsLiteral.

#include <optional>
#include <string>
#include <string_view>

#include "platform/runtime/variant.h"

namespace kx::rowset {

// The document form is read by the runtime's parseIsoDateTime: a stamp with a zone names a
// moment and is stored as that moment in UTC, since row-set dates carry no zone.

// The document form: yyyy-mm-ddThh:mm:ss, with .fff appended only when the milliseconds are not
// zero. Nullopt when the date lies outside the valid range.
std::optional<std::string> formatXdrDateTime(OleDate date);

}  // namespace kx::rowset
