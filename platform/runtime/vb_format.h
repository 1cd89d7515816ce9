#pragma once
// The old runtime's Format function for numeric patterns.
//
// Pattern characters:
//   0   a digit, or 0 when the number has no digit in this place (pads with zeros)
//   #   a digit, or nothing (no leading or trailing zeros)
//   .   the decimal point (the first one; the digits after it are the fraction places)
//   ,   between digit placeholders before the decimal point: group the integer digits by threes;
//       directly left of the decimal point (or of the end of the digits): divide by 1000 per comma
//   %   multiply by 100 and show "%"
//   "text" and \c   literal text; every other character is literal as well
//   ;   separates up to four sections: positive; negative; zero; Null. With one section a
//       negative number gets a leading "-"; a number that rounds to zero never gets one.
// Extra integer digits are all shown; fraction digits are rounded half away from zero
// (Format(2.5, "0") is "3"). The separators shown are "." and "," whatever the process locale.
//
// Values: numbers, Booleans, Currency and Dates (as their serial number) are formatted exactly
// (64-bit integers and Currency digit for digit, Double to 15 significant digits, Single to 7);
// numeric text is read as a Double; Empty counts as 0; other text comes back unchanged; Null gives
// the fourth section as literal text, or "". An empty pattern gives CStr(value) ("" for Null).
// Objects, arrays, records and missing arguments raise RuntimeError 13.

#include <string>
#include <string_view>

#include "platform/runtime/variant.h"

namespace kx {

std::string Format(const Variant& value, std::string_view pattern = {});

}  // namespace kx
