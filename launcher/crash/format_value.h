#pragma once
// The variable dump's rendering of one value as tagged text (modCrashSupport).
//
// An entry is Pad + "<" + Name + ">" + content + "</" + bare name + ">" + CR LF, where Pad is
// `indent` spaces and the bare name is `name` up to its first space (array elements carry an
// Index attribute in their name). Contents by kind:
//   Empty "{Empty}", Null "{Null}", a missing argument nothing, Nothing "{Nothing}", a collection
//   its members on their own lines (named Name[1], Name[2], ... at indent + 2), any other object
//   "{" + type name + "}", a data object "{DataObject}", a record "{UDT - " + type + "}";
//   arrays of one to three dimensions their elements (named Name Index="i,j,k" at indent + 2),
//   "{UnInitialised Array}" when never sized, "{Dump truncated at n dimensions}" beyond three;
//   everything else its plain text conversion with every NUL character shown as "{Null}".
// Nothing is escaped. A run-time error while an entry is produced replaces that entry, and only
// that entry, with "{Error n formatting for output}" (no tags, no line end).

#include <cstdint>
#include <string>

#include "platform/runtime/variant.h"

namespace kx::crash {

inline constexpr const char* kCrLf = "\r\n";

// Collections and arrays nested deeper than this are not followed: the entry at the limit is
// rendered as error 28 (out of stack space), which also ends a collection that contains itself.
inline constexpr int kMaxDumpNesting = 32;

// The run-time error number used for a nesting beyond kMaxDumpNesting.
inline constexpr std::int32_t kOutOfStackSpace = 28;

std::string qtrFormatValue(const std::string& name, const Variant& value, std::int32_t indent);

// True when asking the lower bound of dimension `dimension` (1-based) fails with run-time error 9.
bool qtrDimensionMissing(const SafeArray& array, int dimension);

// The fixed entry of a record-typed variable: "<" + name + ">{" + type + "}</" + name + ">".
std::string recordPlaceholder(const std::string& name, const std::string& typeName);

// The entry of a variable whose record type comes from an outside type library.
std::string externalRecordPlaceholder(const std::string& name);

// The entry that replaces one whose rendering raised run-time error `number`.
std::string formattingErrorEntry(std::int32_t number);

}  // namespace kx::crash
