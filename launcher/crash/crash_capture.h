#pragma once
// Crashes that no trap can take: SIGABRT, a fault on a thread without a trapped procedure, a fault
// the trap cannot take, and an uncaught C++ exception.
//
// Such a process cannot be trusted to report (its heap, its locks, its window may be broken), so
// the handler does only async-signal-safe work: it writes a crash record (crash_record.h) into a
// memory file opened at start, then replaces the process by a fresh copy of the program
// (execve of /proc/self/exe, same process id, same folders and environment) started with the
// reporting option and the program's own arguments. That copy reads the record and makes the
// report (crash_report.h).
//
// Guards: one crash is recorded per process. A fault of the thread that records (the record
// being written) ends the process with a note on standard error, except that a fault while its
// stack is walked only cuts the backtrace short; a crash of another thread meanwhile is noted and
// that thread waits for the restart (ending the process after 10 s if none comes). The recording
// is bounded by the report watchdog.

#include <signal.h>

#include <string_view>

namespace kx::crash {

// The first argument of the reporting process: this text, then the record's descriptor number.
// Never produced by the launcher's normal command line, and free of its one switch.
inline constexpr std::string_view kCrashReportOption = "--kx-report-crash-record=";

// Prepares the capture for the rest of the process: the record file, the restart's command line
// (`argv` with the reporting option put first), the calling thread's alternate stack, the fatal
// signal handlers (exception_filter.h), the uncaught-exception handler and the watchdog. Without
// the record file (or its /proc) crashes are not captured and end the process as before; this is
// noted on standard error. Call once, from the program's entry, before other threads start.
void prepareCrashCapture(int argc, char** argv);

// Whether a crash is being recorded, or this is the reporting process. Async-signal-safe.
bool crashBeingHandled() noexcept;

// Records the fatal signal and restarts the program to report it. Returns only when it cannot:
// the capture is not prepared, or the restart failed (noted on standard error). When a crash is
// already being recorded it applies the guards above and does not return either.
void recordCrashAndRestart(int signalNumber, const siginfo_t* info, const void* context) noexcept;

// For the reporting process: from now on every fatal signal of its own making, and an uncaught
// exception, end it with a note on standard error (never a second restart). Raises a
// RuntimeError when the handlers cannot be installed.
void guardCrashReport();

}  // namespace kx::crash
