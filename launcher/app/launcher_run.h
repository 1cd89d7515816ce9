#pragma once
// The launcher's whole run, as its program entry makes it. No toolkit in this header.

#include <functional>

namespace kx::launcher {

// Runs the windowed program (windowed_program.h) with `main` (Main, for KXVantor) and returns its
// exit code. The crash capture (crash_capture.h) is prepared first, with the program's arguments
// for its restart; a run started with the reporting option reports the recorded crash instead
// (crash_report.h) and shows no launcher window. The run carries an outermost error trap with empty
// module and procedure names: a run-time error, or a hardware fault (the exception filter lets it
// leave the window events as one), that no trapped procedure handled is reported through the error
// library like any other failure, with the procedure's fields empty, and the launcher then ends as
// after any report. The unwinding out of the window events takes the toolkit's application object
// with it, so the report runs in a new one. A launcher that ends while reports kept by the error
// library are still being sent ends at once (spooled_reports.h).
int runLauncher(int& argc, char** argv, const std::function<void()>& main);

}  // namespace kx::launcher
