#pragma once
// The library's error record (ErrorInfo): what the last ErrorHandler call on a thread was handed,
// with the facts about the library and its host that the log and the report carry.

#include <cstdint>
#include <optional>
#include <string>

namespace kx::errhandler {

struct ErrorInfo {
    std::string ProjectName;
    std::string ProjectVersion;
    std::string Module;
    std::string Routine;
    std::optional<std::int32_t> LineNumber;  // empty until the first call
    std::optional<std::int32_t> ErrorCode;   // empty until the first call
    std::string Description;                 // as handed over
    std::string Context;                     // masked by MaskPasswords; the clear text is not kept
    std::string AppPath;                     // folder of the library, without a trailing "/"
    std::string AppEXEName;                  // the library's file name without its extension
    std::string ParentProcess;               // AppPath + "/" + the host program's file name
};

// The record of the calling thread: empty until ErrorHandler is first called on it, then
// overwritten by every call.
ErrorInfo& errorRecord();

// An optional number in plain decimal, "" when empty.
std::string numberText(const std::optional<std::int32_t>& number);

// ProjectName, ProjectVersion, Module, Routine, LineNumber and ErrorCode joined by "_"; "_____"
// for an empty record.
std::string errorId(const ErrorInfo& record);

// Fills AppPath, AppEXEName and ParentProcess from this library and its host process. Never
// fails: what cannot be found stays "".
void recordHostFacts(ErrorInfo& record);

}  // namespace kx::errhandler
