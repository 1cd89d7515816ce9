#pragma once
// The reporting process: the fresh copy of the program that replaces a crashed one
// (crash_capture.h) and reports its crash through the error library as the trap reports an error.

namespace kx::crash {

// Whether this process was started to report a crash (its first argument is the reporting
// option).
bool isCrashReportRun(int argc, char** argv);

// Reads the crash record named by the reporting option, names the frames of its backtrace
// (crash_symbols.h) and hands the crash to the error library: the record's error number,
// project "KXVantor", the innermost procedure's module, name and line (empty and 0 where none
// was running), the description, a context with the thread and the backtrace (crash_record.h)
// and the recorded version. Meanwhile the reports that earlier runs could not deliver are sent in
// the background (spooled_reports.h). The library's dialog (or its report without a display) ends
// the process with exit code 1; so does this function when the library returns. A fault or an
// uncaught exception here ends the process with a note on standard error. Returns 2, after a
// note, when the option names no crash record (someone typed it).
int reportRecordedCrash(int argc, char** argv);

}  // namespace kx::crash
