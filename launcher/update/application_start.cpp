#include "launcher/update/application_start.h"

#include "launcher/crash/crash_support.h"
#include "launcher/startup/launcher_state.h"
#include "launcher/startup/system_utilities.h"
#include "platform/runtime/run_time_error.h"
#include "platform/shell/shell_execute.h"

namespace kx::launcher {

namespace {

struct Attempt {
    const char* verb;
    const char* logPrefix;
};

constexpr Attempt kAttempts[] = {
    {"", "Attempt 1 - ShellExecute() Returned Code "},
    {"runas", "Attempt 2 - ShellExecute(runas) Returned Code "},
    {"open", "Attempt 3 - ShellExecute(highestAvailable) Returned Code "},
};

}  // namespace

void startApplication(crash::Frame& frame, ApplicationStartLocals& locals) {
    const Module1State& m = Module1();
    frame.line(80);
    locals.mParams = "\"" + m.m_BOServer + " " + m.m_AuthLogin + "\"";
    locals.mResultString.clear();
    Err().Clear();
    for (const Attempt& attempt : kAttempts) {
        resumeNext([&] {
            locals.mResult = shell::ShellExecute(attempt.verb, m.FileToWrite, locals.mParams,
                                                 m.CommonDir, shell::SW_SHOWNORMAL);
        });
        if (!Err().pending() && locals.mResult > 32) {
            locals.mResultString.clear();
            return;
        }
        locals.mResultString += attempt.logPrefix + SysErrorMessage(locals.mResult) + "\r";
        if (Err().pending()) {
            locals.mResultString += "   Error: " + Err().Description + "\r";
        }
        Err().Clear();
    }
    frame.line(90);
    raiseError(locals.mResult, crash::kReportProjectName, locals.mResultString);
}

}  // namespace kx::launcher
