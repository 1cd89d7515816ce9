#include "launcher/app/launcher_run.h"

#include <exception>

#include "launcher/app/windowed_program.h"
#include "launcher/crash/crash_capture.h"
#include "launcher/crash/crash_report.h"
#include "launcher/crash/spooled_reports.h"
#include "launcher/crash/trap.h"

namespace kx::launcher {

namespace {

// What the second windowed run reports: set once the first run has ended by a failure.
const crash::Frame* g_outermostTrap = nullptr;
const std::exception* g_unhandledFailure = nullptr;

void reportUnhandledFailure() {
    g_outermostTrap->reportAndEnd(*g_unhandledFailure);
}

}  // namespace

int runLauncher(int& argc, char** argv, const std::function<void()>& main) {
    if (crash::isCrashReportRun(argc, argv)) {
        return crash::reportRecordedCrash(argc, argv);
    }
    crash::prepareCrashCapture(argc, argv);
    crash::Frame outermost("", "");
    try {
        const int exitCode = qt::runWindowedProgram(argc, argv, main);
        crash::endAtOnceWhileSpooledReportsAreSent(exitCode);
        return exitCode;
    } catch (const std::exception& failure) {
        g_outermostTrap = &outermost;
        g_unhandledFailure = &failure;
        // Reported from inside a new application object, so that message boxes and the error
        // library's dialog have one; the report ends the process.
        return qt::runWindowedProgram(argc, argv, &reportUnhandledFailure);
    }
}

}  // namespace kx::launcher
