#pragma once
// The crash capture's module state and its hand-off to the error library (modCrashSupport).

#include <cstdint>
#include <functional>
#include <string>

#include "platform/runtime/run_time_error.h"
#include "platform/runtime/scoped_replacement.h"

namespace kx::crash {

// The module-level fields of the crash capture; they also close the global section of the dump.
struct CrashSupportState {
    bool qtrHasInitialised = false;  // the exception filter is installed
    std::int32_t qtrErrorNumber = 0;
    std::string qtrErrorDescription;
    std::int32_t qtrErrorLine = 0;
    std::string qtrErrorSource;  // captured and dumped, not handed on
};

CrashSupportState& modCrashSupport();

// Copies the error and the line of the failing statement into the error fields.
void qtrCaptureError(const RuntimeError& error, std::int32_t line);

// The project name and version that every report carries: the launcher's major, minor and
// revision ("300.1100.3").
inline constexpr const char* kReportProjectName = "KXVantor";
const std::string& reportVersion();

// The ProgID of the error library's class.
inline constexpr const char* kErrorHandlerProgId = "ZNErrHandler.Error";

// Hands one error to the error library: creates "ZNErrHandler.Error" (a failure to create it is
// not an error here), calls its ErrorHandler with the eight arguments (number, project name,
// module, procedure, description, line, `context()`, `version`) and returns its Action property.
// The report watchdog (report_watchdog.h) is disarmed right before ErrorHandler: the library
// shows its own dialog, and the user's time in it must not be cut short.
// Without the library it writes why it could not be created to standard error, shows the
// fallback message box (critical icon, OK, "Application Error") and returns "". Errors raised by
// the library's methods are not handled here: they propagate.
std::string handErrorToLibrary(std::int32_t errorNumber, const std::string& moduleName,
                               const std::string& procedureName, const std::string& description,
                               std::int32_t lineNumber, const std::function<std::string()>& context,
                               const std::string& version);

// handErrorToLibrary with the trap's context text (the variable dump) and the launcher's version.
std::string qtrReportError(std::int32_t errorNumber, const std::string& moduleName,
                           const std::string& procedureName, const std::string& description,
                           std::int32_t lineNumber, const std::string& localsText,
                           const std::string& moduleText, const std::string& parametersText);

// The text of the fallback message box.
std::string fallbackReportText(std::int32_t errorNumber, const std::string& moduleName,
                               const std::string& procedureName, const std::string& description,
                               std::int32_t lineNumber);

// What ends the process after a report. The default ends it at once with exit code 1 (_exit: no
// unload handling, no atexit handlers, nothing saved). Tests install an action that throws an
// exception not derived from std::exception, to observe the end and unwind. If an installed
// action returns, the process still ends at once. Returns the previous action; an empty action
// restores the default.
using EndProcessAction = std::function<void(int exitCode)>;
EndProcessAction setEndProcessAction(EndProcessAction action);

// Installs an end-process action for its own lifetime and then puts the previous one back.
using ScopedEndProcessAction = ScopedReplacement<EndProcessAction, setEndProcessAction>;

// Runs the end-process action with exit code 1, then ends the process at once if it returned.
[[noreturn]] void endLauncherProcess();

}  // namespace kx::crash
