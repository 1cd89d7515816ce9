#pragma once
// The library's local log, "KXErrorLog.txt" in the process's working folder: one entry of four
// lines per ErrorHandler call, appended, never truncated.

#include <string>

#include "errhandler/report/error_record.h"

namespace kx::errhandler {

inline constexpr const char* kErrorLogFileName = "KXErrorLog.txt";

// The entry for `record`, each line ended by CR LF:
//   dateTime ProjectName ProjectVersion Module Routine LineNumber ErrorCode Description Context
//   AppPath=[...]
//   AppEXEName=[...]
//   ParentProcess=[...]
// The first line's nine items are joined by single spaces; line breaks inside the description or
// the context stay, so an entry may span more lines.
std::string errorLogEntry(const ErrorInfo& record, const std::string& dateTime);

// The current local date and time in the general date form ("12/6/2026 3:04:05 PM").
std::string localDateTimeNow();

// Appends the entry for `record`, stamped now, to the log in the working folder, creating the file
// (readable by its owner only, since the context may name the user) when it is missing. Never
// fails: an unwritable folder or a full disk leaves the entry missing or partial.
void appendErrorLog(const ErrorInfo& record);

}  // namespace kx::errhandler
