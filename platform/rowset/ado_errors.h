#pragma once
// The run-time errors the row-set objects raise. Numbers and leading sentences are the ones the
// old data-access library used, so code that inspects Err.Number keeps working; each message
// then names what exactly went wrong.

#include <cstdint>
#include <string>
#include <string_view>

namespace kx::rowset {

namespace adoerr {
// "Either BOF or EOF is True, or the current record has been deleted. ..."
inline constexpr std::int32_t kNoCurrentRecord = 3021;
// "Item cannot be found in the collection corresponding to the requested name or ordinal."
inline constexpr std::int32_t kItemNotFound = 3265;
// "Arguments are of the wrong type, are out of acceptable range, or are in conflict ..."
inline constexpr std::int32_t kBadArguments = 3001;
// "Operation is not allowed when the object is closed."
inline constexpr std::int32_t kObjectClosed = 3704;
// "Operation is not allowed when the object is open."
inline constexpr std::int32_t kObjectOpen = 3705;
// "Operation is not allowed in this context."
inline constexpr std::int32_t kNotAllowedInContext = 3219;
// "Application uses a value of the wrong type for the current operation."
inline constexpr std::int32_t kWrongValueType = 3421;
// A value does not fit its field (too long, out of range): the provider's multiple-step error.
inline constexpr std::int32_t kMultipleStep = static_cast<std::int32_t>(0x80040E21u);
// A row-set document or file that cannot be loaded or written (the provider's E_FAIL).
inline constexpr std::int32_t kPersistence = static_cast<std::int32_t>(0x80004005u);
}  // namespace adoerr

inline constexpr std::string_view kRecordsetSource = "ADODB.Recordset";
inline constexpr std::string_view kStreamSource = "ADODB.Stream";

// Raises the error with the library's standard sentence for `number`, followed by `detail`
// when it is not empty. Numbers without a standard sentence use `detail` alone.
[[noreturn]] void raiseAdoError(std::int32_t number, std::string_view detail = {},
                                std::string_view source = kRecordsetSource);

// A row-set document could not be read or written; `detail` is the whole description.
[[noreturn]] void raisePersistenceError(std::string detail);

}  // namespace kx::rowset
