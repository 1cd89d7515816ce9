#pragma once
// A watchdog that bounds an error report started from a hardware fault.
//
// A fault can strike while the process holds a lock (inside the allocator, for instance); the
// report that follows may then deadlock before the user sees anything. The crash capture arms the
// watchdog when it turns a fault into an error; if nothing disarms it within the bound, the
// watchdog ends the process with exit code 1 (a one-line note on standard error, no clean-up).
//
// Whatever shows a dialog to the user disarms the watchdog first, so that the user's own time in
// a dialog is never cut short: `MsgBox` does, and the crash capture does when it hands the error
// to the error library, whose own dialog (in a library with its own copy of this code) cannot
// reach this watchdog.

#include <chrono>

namespace kx {

// Starts the watchdog's thread once per process; later calls do nothing. Not async-signal-safe:
// call it at start-up (the crash capture does, when it installs its filter). Returns false when
// the thread cannot be started; arming then has no effect.
bool prepareReportWatchdog();

// Arms the watchdog: unless disarmed within `bound`, the process ends. Re-arming replaces the
// previous deadline. Async-signal-safe once prepared; without a prepared watchdog it does nothing.
void armReportWatchdog(std::chrono::milliseconds bound) noexcept;

// Disarms the watchdog. Async-signal-safe; harmless when not armed or not prepared.
void disarmReportWatchdog() noexcept;

// Whether the watchdog is armed at the moment.
bool reportWatchdogArmed() noexcept;

}  // namespace kx
