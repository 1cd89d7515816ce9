#pragma once
// The old runtime's conversion functions: CInt, CLng, CLngLng, CDbl, CStr and IsNumeric.
//
// Numeric conversions accept Empty (0), Booleans (True is -1), every number width, Currency,
// Dates (their serial number) and text that is a number by the grammar of number_text.h. Results
// are rounded half to even (CInt(2.5) is 2, CInt(3.5) is 4, CInt(-2.5) is -2); text is rounded
// exactly on its decimal digits. Failures raise RuntimeError: 6 (Overflow) when the rounded value
// does not fit, 13 (Type mismatch) for text that is not a number and for objects, arrays, records
// and missing arguments, 94 (Invalid use of Null) for Null.

#include <cstdint>
#include <string>

#include "platform/runtime/decimal_number.h"
#include "platform/runtime/variant.h"

namespace kx {

std::int16_t CInt(const Variant& value);     // 16-bit
std::int32_t CLng(const Variant& value);     // 32-bit
std::int64_t CLngLng(const Variant& value);  // 64-bit
double CDbl(const Variant& value);

// Whether the value can be used as a number: Empty, Booleans, numbers and Currency are; text is
// when it follows the number grammar and fits a Double; Null, Dates, objects, arrays are not.
bool IsNumeric(const Variant& value);

// The plain text form of a value, as the old runtime converts values to text:
//   Empty ""; Booleans "True"/"False"; integers and Currency in plain decimal (Currency with up to
//   four decimals, no trailing zeros); Double with up to 15 significant digits and Single with up
//   to 7, in exponent form ("1E+20", "1.5E-07") when the decimal exponent is below -4 or not
//   below the digit count; Dates in the general date form (vb_date.h); text unchanged (NUL
//   characters included); Missing "Error 448".
// Null raises RuntimeError 94; objects, data objects, records and arrays raise 13.
std::string CStr(const Variant& value);

// The value as a decimal number: exact for Empty, Booleans, integers, Currency and numeric text;
// to the significant digits the runtime shows for Single (7), Double and Date (15). Raises like
// the numeric conversions (13, 94, and 6 for a non-finite floating-point value).
DecimalNumber decimalValue(const Variant& value);

// Text forms of the floating-point kinds, also used by Format with an empty pattern.
std::string doubleToText(double value);
std::string singleToText(float value);

}  // namespace kx
