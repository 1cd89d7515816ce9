#pragma once
// How ErrorHandler shows its dialog: modally, in the host's application object, or in one made
// here (and kept for the rest of the process) when the host has none. Where no window can be
// shown (no display; a host application without widgets; a call from a thread other than the
// application's), the report is made without one (headless_report.h), which ends the process.

#include <string>

namespace kx::errhandler {

// Shows frmError for the calling thread's error record with `description` in lblError and waits
// until it is closed. Returns only when it was closed by the window's own close command.
void presentErrorDialog(const std::string& description);

}  // namespace kx::errhandler
