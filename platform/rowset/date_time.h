#pragma once
// Dates of row sets on top of the runtime's calendar (vb_date.h): the document form
// yyyy-mm-ddThh:mm:ss[.fff] and the date literals of filter criteria and date text assigned to
// fields. Valid dates run from 1 January 100 to 31 December 9999, as for the old runtime.

#include <optional>
#include <string>
#include <string_view>

#include "variant.h"

namespace kx::rowset {

// The document form is read by the runtime's parseIsoDateTime: a stamp with a zone names a
// moment and is stored as that moment in UTC, since row-set dates carry no zone.

// The document form: yyyy-mm-ddThh:mm:ss, with .fff appended only when the milliseconds are not
// zero. Nullopt when the date lies outside the valid range.
std::optional<std::string> formatXdrDateTime(OleDate date);

// A date as written in filter criteria (between the #s) and assigned as text: the document form,
// or the US order m/d/yyyy (two-digit years 00-29 are 2000-2029, 30-99 are 1930-1999) optionally
// followed by h:mm[:ss] and AM or PM. Blanks around the text are ignored.
std::optional<OleDate> parseDateLiteral(std::string_view text);

}  // namespace kx::rowset
