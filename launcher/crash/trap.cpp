#include "launcher/crash/trap.h"

#include <atomic>
#include <iostream>
#include <string>

#include "launcher/crash/crash_support.h"
#include "launcher/crash/error_conversion.h"
#include "launcher/crash/variable_dump.h"

namespace kx::crash {

namespace {

thread_local Frame* t_innermost = nullptr;

std::atomic<bool> g_reporting{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// Clears the report flag when the end-process action unwinds instead of ending the process.
class ReportScope {
  public:
    ReportScope() = default;
    ~ReportScope() { g_reporting.store(false); }
    ReportScope(const ReportScope&) = delete;
    ReportScope& operator=(const ReportScope&) = delete;
};

}  // namespace

Frame::Frame(std::string_view moduleName, std::string_view procedureName) noexcept
    : moduleName_(moduleName), procedureName_(procedureName), outer_(t_innermost) {
    t_innermost = this;
}

Frame::~Frame() {
    t_innermost = outer_;
}

Frame& Frame::record(std::string_view name, std::string_view typeName) {
    locals_.push_back(Variable::record(name, typeName));
    return *this;
}

Frame& Frame::externalRecord(std::string_view name) {
    locals_.push_back(Variable::externalRecord(name));
    return *this;
}

const Frame* Frame::innermost() noexcept {
    return t_innermost;
}

namespace detail {
__attribute__((noinline)) void callOpaque(void (*invoke)(void*), void* context) {
    invoke(context);
}
}  // namespace detail

bool reportInProgress() noexcept {
    return g_reporting.load();
}

void Frame::reportAndEnd(const std::exception& failure) const {
    const RuntimeError error = asRuntimeError(failure);
    if (g_reporting.exchange(true)) {
        std::cerr << "KXVantor: error " << error.number() << " (" << error.description() << ") in "
                  << moduleName_ << "." << procedureName_
                  << " while an error was being reported; ending the process" << std::endl;
        endLauncherProcess();
    }
    const ReportScope scope;
    qtrCaptureError(error, line_);
    const std::string module(moduleName_);
    try {
        const CrashSupportState& state = modCrashSupport();
        qtrReportError(state.qtrErrorNumber, module, std::string(procedureName_),
                       state.qtrErrorDescription, state.qtrErrorLine, localsText(locals_),
                       qtrModuleVariables(module), variablesText(parameters_));
    } catch (const std::exception& libraryFailure) {
        const RuntimeError libraryError = asRuntimeError(libraryFailure);
        std::cerr << "KXVantor: the error report failed with error " << libraryError.number()
                  << " (" << libraryError.description() << "); ending the process" << std::endl;
    }
    endLauncherProcess();
}

}  // namespace kx::crash
