#pragma once
// The exception filter: the handler of every fatal signal (SIGSEGV, SIGBUS, SIGFPE, SIGILL,
// SIGTRAP, SIGABRT). A hardware fault on a thread that runs a trapped procedure becomes a run-time
// error that reaches the error trap of that procedure; every other fatal signal of the program's
// own making is recorded and reported by a fresh process (crash_capture.h).
//
// For a fault the trap takes, the handler, on the thread's alternate signal stack
// (alternate_stack.h), maps the signal onto an exception code, arms the report watchdog
// (report_watchdog.h) and throws RuntimeError 10000 + (code AND &H8EF) with source
// "qtrExceptionFilter" and the code's name as description. Throwing out of a signal
// handler needs the faulting code to be built with -fnon-call-exceptions; this library passes
// that option on to everything that links it. A fault in code built without it unwinds only if
// the faulting function has nothing to clean up; otherwise the process ends through
// std::terminate.
//
// The crash path never loops: a fault while a report is in progress, or a second fault before
// the first has been handled, ends the process at once (_exit(1)). A signal sent by another
// process is no fault of the program: it keeps its default action (the process ends by it), as
// does every fatal signal when the crash capture is not prepared. When the error is handled and
// execution goes on (a statement run with errors ignored), the watchdog is disarmed again.

#include <signal.h>

#include <chrono>
#include <cstdint>
#include <string>

namespace kx::crash {

// Installs the filter for the calling thread's process and its alternate stack for the calling
// thread (the launcher's user-interface thread); sets qtrHasInitialised. A second call does
// nothing. Raises a RuntimeError when the signal handlers cannot be installed.
void qtrInstallFilter();

// Installs qtrExceptionFilter for every fatal signal; raises a RuntimeError when it cannot.
void installFatalSignalHandlers();

// The signal handler itself.
void qtrExceptionFilter(int signalNumber, siginfo_t* info, void* context);

// The name of an exception code ("Access Violation", ..., "Unknown (&HE06D7363)").
std::string qtrExceptionText(std::uint32_t code);
// The name of a code of the table, or null. Async-signal-safe.
const char* exceptionName(std::uint32_t code) noexcept;

// The run-time error number the filter raises for an exception code.
std::int32_t exceptionErrorNumber(std::uint32_t code);

// The exception code for a fault signal and its si_code. `inStackGuard` tells that a SIGSEGV
// touched the guard region below the stack (a stack overflow).
std::uint32_t exceptionCodeFor(int signalNumber, int signalCode, bool inStackGuard);

// The exception code of a fault signal as the handler received it (a SIGSEGV in the calling
// thread's stack guard is a stack overflow); 0 for SIGABRT. Async-signal-safe.
std::uint32_t faultExceptionCode(int signalNumber, const siginfo_t* info,
                                 const void* context) noexcept;

// The stack pointer and the program counter of the interrupted code in a handler's context; 0 on
// processors not known here. Async-signal-safe.
struct InterruptedCode {
    std::uintptr_t stackPointer = 0;
    std::uintptr_t programCounter = 0;
};
InterruptedCode interruptedCode(const void* context) noexcept;

// How long a report started from a fault may take before a dialog is shown (default 60 s).
void setFaultReportBound(std::chrono::milliseconds bound);

}  // namespace kx::crash
