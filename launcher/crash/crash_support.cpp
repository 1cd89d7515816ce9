#include "launcher/crash/crash_support.h"

#include <unistd.h>

#include <iostream>
#include <memory>
#include <utility>
#include <vector>

#include "launcher/crash/error_object.h"
#include "launcher/crash/variable_dump.h"
#include "platform/runtime/dispatch.h"
#include "platform/runtime/message_box.h"
#include "platform/runtime/report_watchdog.h"
#include "platform/runtime/variant.h"
#include "platform/runtime/vb_convert.h"

#ifndef KX_LAUNCHER_REPORT_VERSION
#error "KX_LAUNCHER_REPORT_VERSION must be defined by the build"
#endif

namespace kx::crash {

CrashSupportState& modCrashSupport() {
    static CrashSupportState state;
    return state;
}

void qtrCaptureError(const RuntimeError& error, std::int32_t line) {
    CrashSupportState& state = modCrashSupport();
    state.qtrErrorNumber = error.number();
    state.qtrErrorDescription = error.description();
    state.qtrErrorLine = line;
    state.qtrErrorSource = error.source();
}

const std::string& reportVersion() {
    static const std::string version = KX_LAUNCHER_REPORT_VERSION;
    return version;
}

std::string fallbackReportText(std::int32_t errorNumber, const std::string& moduleName,
                               const std::string& procedureName, const std::string& description,
                               std::int32_t lineNumber) {
    return std::string(kReportProjectName) +
           " has encountered a problem. We are sorry for the inconvenience.\r\n\r\n"
           "Module: " +
           moduleName + "\r\nProcedure: " + procedureName +
           "\r\nLine Number: " + std::to_string(lineNumber) + "\r\n\r\n" + description + " (" +
           std::to_string(errorNumber) + ")";
}

std::string handErrorToLibrary(std::int32_t errorNumber, const std::string& moduleName,
                               const std::string& procedureName, const std::string& description,
                               std::int32_t lineNumber, const std::function<std::string()>& context,
                               const std::string& version) {
    // Only the creation runs with errors suppressed; the library's own failures travel on.
    std::shared_ptr<Dispatch> library;
    resumeNext([&] { library = createErrorObject(); });
    const ErrObject notCreated = Err();
    Err().Clear();
    if (!library) {
        // The box cannot say why the library is missing; the standard error keeps it.
        std::cerr << kReportProjectName << ": the error library could not be created ("
                  << notCreated.Description << ", error " << notCreated.Number
                  << "); the error is shown in the fallback message box" << std::endl;
        MsgBox(fallbackReportText(errorNumber, moduleName, procedureName, description, lineNumber),
               vbmsg::kCritical + vbmsg::kOKOnly, "Application Error");
        return {};
    }
    std::vector<Variant> arguments{
        Variant(errorNumber), Variant(kReportProjectName),
        Variant(moduleName),  Variant(procedureName),
        Variant(description), Variant(lineNumber),
        Variant(context()),   Variant(version),
    };
    // From here the library's dialog has the user: a report started from a fault is no longer
    // bounded by the watchdog, which cannot see that dialog.
    disarmReportWatchdog();
    library->invoke("ErrorHandler", InvokeKind::Method, arguments);
    const Variant action = library->get("Action");
    return action.isNull() ? std::string() : CStr(action);
}

std::string qtrReportError(std::int32_t errorNumber, const std::string& moduleName,
                           const std::string& procedureName, const std::string& description,
                           std::int32_t lineNumber, const std::string& localsText,
                           const std::string& moduleText, const std::string& parametersText) {
    return handErrorToLibrary(
        errorNumber, moduleName, procedureName, description, lineNumber,
        [&] { return contextText(localsText, moduleText, qtrGlobalVariables(), parametersText); },
        reportVersion());
}

namespace {
EndProcessAction& endProcessAction() {
    static EndProcessAction action;
    return action;
}
}  // namespace

EndProcessAction setEndProcessAction(EndProcessAction action) {
    return std::exchange(endProcessAction(), std::move(action));
}

void endLauncherProcess() {
    if (const EndProcessAction& action = endProcessAction()) {
        action(1);
    }
    _exit(1);
}

}  // namespace kx::crash
