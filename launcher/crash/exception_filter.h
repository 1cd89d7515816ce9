#pragma once
// The exception filter: hardware faults (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP) become
// run-time errors that reach the error trap of the procedure that was running.
//
// The handler runs on an alternate signal stack, maps the signal onto an exception code, arms
// the report watchdog (report_watchdog.h) and throws RuntimeError 10000 + (code AND &H8EF) with
// source "qtrExceptionFilter" and the code's name as description. Throwing out of a signal
// handler needs the faulting code to be built with -fnon-call-exceptions; this library passes
// that option on to everything that links it. A fault in code built without it unwinds only if
// the faulting function has nothing to clean up; otherwise the process ends through
// std::terminate.
//
// The crash path never loops: a fault while a report is in progress, or a second fault before
// the first has been handled, ends the process at once (_exit(1)). A fault on a thread with no
// trapped procedure running, and a fault signal sent by another process, are left to the
// signal's default action (the process ends as it would without the filter). When the error is
// handled and execution goes on (a statement run with errors ignored), the watchdog is
// disarmed again.

#include <signal.h>

#include <chrono>
#include <cstdint>
#include <string>

namespace kx::crash {

// Installs the filter for the calling thread's process and its alternate stack for the calling
// thread (the launcher's user-interface thread); sets qtrHasInitialised. A second call does
// nothing. Raises a RuntimeError when the signal handlers cannot be installed.
void qtrInstallFilter();

// The signal handler itself.
void qtrExceptionFilter(int signalNumber, siginfo_t* info, void* context);

// The name of an exception code ("Access Violation", ..., "Unknown (&HE06D7363)").
std::string qtrExceptionText(std::uint32_t code);

// The run-time error number the filter raises for an exception code.
std::int32_t exceptionErrorNumber(std::uint32_t code);

// The exception code for a fault signal and its si_code. `inStackGuard` tells that a SIGSEGV
// touched the guard region below the stack (a stack overflow).
std::uint32_t exceptionCodeFor(int signalNumber, int signalCode, bool inStackGuard);

// How long a report started from a fault may take before a dialog is shown (default 60 s).
void setFaultReportBound(std::chrono::milliseconds bound);

}  // namespace kx::crash
