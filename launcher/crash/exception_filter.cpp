#include "launcher/crash/exception_filter.h"

#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "launcher/crash/alternate_stack.h"
#include "launcher/crash/crash_capture.h"
#include "launcher/crash/crash_support.h"
#include "launcher/crash/trap.h"
#include "platform/runtime/report_watchdog.h"
#include "platform/runtime/run_time_error.h"

namespace kx::crash {

namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT};

// A SIGSEGV this close below the stack's lowest address, or this close below the stack pointer,
// is taken as a stack overflow (the kernel keeps a 1 MiB gap below a growing stack).
constexpr std::uintptr_t kStackGuardSpan = 1024 * 1024;
constexpr std::uintptr_t kBelowStackPointerSpan = 64 * 1024;

std::atomic<std::int64_t> g_reportBoundMillis{60'000};
static_assert(std::atomic<std::int64_t>::is_always_lock_free);

// Set from the moment a fault is turned into an error until that error is done with.
std::atomic<bool> g_faultPending{false};

void writeNote(const char* text) noexcept {
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, text, std::strlen(text));
}

// The error a fault becomes. While the original exception object lives, the fault is being
// handled; once a handler has finished with it (the error was ignored and execution goes on),
// the crash path is open again and the watchdog no longer needed.
class HardwareFault : public RuntimeError {
  public:
    explicit HardwareFault(std::uint32_t code)
        : RuntimeError(exceptionErrorNumber(code), "qtrExceptionFilter", qtrExceptionText(code)) {}
    HardwareFault(const HardwareFault& other) : RuntimeError(other), owner_(false) {}
    HardwareFault& operator=(const HardwareFault&) = delete;
    ~HardwareFault() override {
        if (owner_) {
            disarmReportWatchdog();
            g_faultPending.store(false);
        }
    }

  private:
    bool owner_ = true;
};

bool faultInStackGuard(const void* faultAddress, const void* context) noexcept {
    const auto address = reinterpret_cast<std::uintptr_t>(faultAddress);
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t stackLow = threadStackLow();
    if (stackLow != 0 && address < stackLow + page && address + kStackGuardSpan >= stackLow) {
        return true;
    }
    const std::uintptr_t sp = interruptedCode(context).stackPointer;
    return sp != 0 && address <= sp && sp - address <= kBelowStackPointerSpan;
}

bool sentByAnotherProcess(const siginfo_t* info) noexcept {
    return info != nullptr && info->si_code <= 0 && info->si_pid != getpid();
}

// A fault the running procedure's trap can take: raised by the hardware (not sent), on a thread
// with a trapped procedure running.
bool trappable(int signalNumber, const siginfo_t* info) noexcept {
    return signalNumber != SIGABRT && info != nullptr && info->si_code > 0 &&
           Frame::innermost() != nullptr;
}

// The process ends by the signal, as it would without the filter.
void leaveToDefaultAction(int signalNumber) noexcept {
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    sigemptyset(&defaults.sa_mask);
    if (sigaction(signalNumber, &defaults, nullptr) != 0) {
        // Raising the signal again would only come back here.
        writeNote("KXVantor: a fault signal could not be given its default action\n");
        _exit(128 + signalNumber);
    }
    // The handler does not block its own signal (SA_NODEFER): this ends the process here.
    raise(signalNumber);
}

[[noreturn]] void throwFault(int signalNumber, const siginfo_t* info, const void* context) {
    const std::uint32_t code = faultExceptionCode(signalNumber, info, context);
    // The throw below allocates; if the fault struck inside the allocator, this bounds the hang.
    armReportWatchdog(std::chrono::milliseconds(g_reportBoundMillis.load()));
    // The handler is left by the exception, never by a return: unblock the signal here so that
    // a later fault reaches the handler again.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, signalNumber);
    if (pthread_sigmask(SIG_UNBLOCK, &signals, nullptr) != 0) {
        writeNote("KXVantor: a later fault of this kind will end the process unreported\n");
    }
    throw HardwareFault(code);
}

}  // namespace

InterruptedCode interruptedCode(const void* context) noexcept {
    if (context == nullptr) {
        return {};
    }
    const auto* uc = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
    return {static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_RSP]),
            static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_RIP])};
#elif defined(__aarch64__)
    return {static_cast<std::uintptr_t>(uc->uc_mcontext.sp),
            static_cast<std::uintptr_t>(uc->uc_mcontext.pc)};
#else
    (void)uc;
    return {};
#endif
}

std::uint32_t faultExceptionCode(int signalNumber, const siginfo_t* info,
                                 const void* context) noexcept {
    if (info == nullptr) {
        return exceptionCodeFor(signalNumber, 0, false);
    }
    const bool overflow = signalNumber == SIGSEGV && faultInStackGuard(info->si_addr, context);
    return exceptionCodeFor(signalNumber, info->si_code, overflow);
}

const char* exceptionName(std::uint32_t code) noexcept {
    switch (code) {
        case 0x80000001:
            return "Guard Page Violation";
        case 0x80000002:
            return "Data Type Misalignment";
        case 0x80000003:
            return "Breakpoint";
        case 0x80000004:
            return "Single Step";
        case 0xC0000005:
            return "Access Violation";
        case 0xC0000006:
            return "In Page Error";
        case 0xC0000008:
            return "Invalid Handle";
        case 0xC000001D:
            return "Illegal Instruction";
        case 0xC0000025:
            return "Non Continuable Exception";
        case 0xC0000026:
            return "Invalid Disposition";
        case 0xC000008C:
            return "Array Bounds Exceeded";
        case 0xC000008D:
            return "Float Denormal Operand";
        case 0xC000008E:
            return "Divide By Zero";
        case 0xC000008F:
            return "Floating Point Inexact Result";
        case 0xC0000090:
            return "Invalid Operation";
        case 0xC0000091:
            return "Float Overflow";
        case 0xC0000092:
            return "Float Stack Check";
        case 0xC0000093:
            return "Float Underflow";
        case 0xC0000094:
            return "Integer Divide By Zero";
        case 0xC0000095:
            return "Integer Overflow";
        case 0xC0000096:
            return "Privileged Instruction";
        case 0xC00000FD:
            return "Stack Overflow";
        case 0xC000013A:
            return "Control-C Exit";
        default:
            return nullptr;
    }
}

std::string qtrExceptionText(std::uint32_t code) {
    if (const char* name = exceptionName(code)) {
        return name;
    }
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08X", code);
    return std::string("Unknown (&H") + hex + ")";
}

std::int32_t exceptionErrorNumber(std::uint32_t code) {
    return 10000 + static_cast<std::int32_t>(code & 0x8EFU);
}

std::uint32_t exceptionCodeFor(int signalNumber, int signalCode, bool inStackGuard) {
    switch (signalNumber) {
        case SIGSEGV:
            return inStackGuard ? 0xC00000FD : 0xC0000005;
        case SIGBUS:
            return signalCode == BUS_ADRALN ? 0x80000002 : 0xC0000006;
        case SIGILL:
            return signalCode == ILL_PRVOPC || signalCode == ILL_PRVREG ? 0xC0000096 : 0xC000001D;
        case SIGTRAP:
            // x86 reports a breakpoint instruction with SI_KERNEL rather than TRAP_BRKPT.
            return signalCode == TRAP_TRACE ? 0x80000004 : 0x80000003;
        case SIGFPE:
            switch (signalCode) {
                case FPE_INTDIV:
                    return 0xC0000094;
                case FPE_INTOVF:
                    return 0xC0000095;
                case FPE_FLTDIV:
                    return 0xC000008E;
                case FPE_FLTOVF:
                    return 0xC0000091;
                case FPE_FLTUND:
                    return 0xC0000093;
                case FPE_FLTRES:
                    return 0xC000008F;
                case FPE_FLTSUB:
                    return 0xC000008C;
                default:
                    return 0xC0000090;  // FPE_FLTINV and codes without a closer match
            }
        default:
            return 0;
    }
}

void setFaultReportBound(std::chrono::milliseconds bound) {
    g_reportBoundMillis.store(bound.count());
}

void qtrExceptionFilter(int signalNumber, siginfo_t* info, void* context) {
    if (sentByAnotherProcess(info)) {
        leaveToDefaultAction(signalNumber);  // not a fault of the program
        return;
    }
    if (!crashBeingHandled()) {
        // Only a fault turned into an error marks one as pending: faults of two threads at once
        // both go on to the record, where the first one's report is made and the other waits.
        const bool trapped = trappable(signalNumber, info);
        if ((trapped ? g_faultPending.exchange(true) : g_faultPending.load()) ||
            reportInProgress()) {
            writeNote("KXVantor: a fault while an error was being handled; ending the process\n");
            _exit(1);
        }
        if (trapped) {
            throwFault(signalNumber, info, context);
        }
    }
    recordCrashAndRestart(signalNumber, info, context);
    leaveToDefaultAction(signalNumber);
}

void installFatalSignalHandlers() {
    struct sigaction action {};
    action.sa_sigaction = qtrExceptionFilter;
    // SA_NODEFER: a fault inside the handler comes back to it, which ends the process with a
    // note instead of leaving it to the kernel.
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    for (const int signalNumber : kFatalSignals) {
        if (sigaction(signalNumber, &action, nullptr) != 0) {
            raiseError(vberr::kInvalidProcedureCall, "qtrInstallFilter",
                       std::string("Cannot install the exception filter: ") + std::strerror(errno));
        }
    }
}

void qtrInstallFilter() {
    CrashSupportState& state = modCrashSupport();
    if (state.qtrHasInitialised) {
        return;
    }
    if (!prepareReportWatchdog()) {
        // Reports of faults then run without a bound; the program still reports and ends.
        writeNote("KXVantor: the report watchdog could not be started\n");
    }
    installAlternateStack();
    installFatalSignalHandlers();
    state.qtrHasInitialised = true;
}

}  // namespace kx::crash
