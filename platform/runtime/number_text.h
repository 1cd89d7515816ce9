#pragma once
// Recognising a number in text, with the grammar of the old runtime's number parser in its
// standard mode, for an en-US style locale (decimal point ".", group separator ",", currency
// symbol "$"):
//
//   text    := ws* lead ws* body ws* trail ws*
//   lead    := [ "(" | sign ] ws* [ "$" ] ws* [ sign ]   (at most one sign or one parenthesis)
//   body    := "&H" hexdigit+ | "&O" octdigit+ | decimal
//   decimal := ( digit ( digit | "," )* [ "." digit* ] | "." digit+ ) [ ("e"|"E") [sign] digit+ ]
//   trail   := [ sign ] ws* [ ")" ]                       (the sign only when none came before;
//                                                          ")" exactly when "(" came before)
//   ws      := space, tab, carriage return, line feed
//
// Group separators are not checked for position ("1,2,3" is 123), as the old runtime does not.
// "&H" and "&O" texts have the value of the old runtime's literals: the digits are read as an
// unsigned number and taken as a two's complement value of the smallest of 16, 32 and 64 bits
// that holds them ("&HFFFF" is -1, "&H10000" is 65536). More than 64 bits are not a number.

#include <optional>
#include <string_view>

#include "platform/runtime/decimal_number.h"

namespace kx {

// The value of a hexadecimal digit (0-9, a-f, A-F), or -1 for any other character.
int hexDigitValue(char c);

// The number the text spells, or nothing when it is not a number by the grammar above.
std::optional<DecimalNumber> parseNumberText(std::string_view text);

}  // namespace kx
