#include "launcher/crash/crash_capture.h"

#include <cxxabi.h>
#include <fcntl.h>
#include <setjmp.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <unwind.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <typeinfo>
#include <vector>

#include "launcher/crash/alternate_stack.h"
#include "launcher/crash/crash_record.h"
#include "launcher/crash/crash_support.h"
#include "launcher/crash/exception_filter.h"
#include "launcher/crash/trap.h"
#include "platform/runtime/report_watchdog.h"
#include "platform/runtime/run_time_error.h"

extern char** environ;

namespace kx::crash {

namespace {

// How long recording may take before the watchdog ends the process, and how long a second
// crashing thread waits for the restart.
constexpr auto kRecordBound = std::chrono::seconds(10);
constexpr int kRestartWaitTenths = 100;

// The maps copy stops here, so that the whole record stays within what the reader accepts.
constexpr std::size_t kMaxMapsBytes = kMaxCrashRecordBytes - 64 * 1024;

constexpr std::size_t kMaxThreadNameBytes = 16;  // the kernel's limit, with its NUL

// What the handler uses, all made when the capture is prepared.
int g_recordFd = -1;
dev_t g_recordDevice = 0;
ino_t g_recordInode = 0;
int g_mapsFd = -1;
const char* g_version = "";
char* const* g_restartArguments = nullptr;
const char* g_programPath = nullptr;

// The thread recording a crash (0: none); set in the reporting process to its own guard value.
constexpr pid_t kReportingProcess = -1;
std::atomic<pid_t> g_recordingThread{0};
static_assert(std::atomic<pid_t>::is_always_lock_free);

// The walk of the crashed thread's stack, in static storage: a fault during the walk leaves it
// by siglongjmp, after which locals of the walking function would not be reliable.
std::uintptr_t g_frames[kMaxCrashFrames];
std::size_t g_frameCount = 0;
std::uintptr_t g_signalPc = 0;
bool g_walkStarted = false;
volatile sig_atomic_t g_walkingStack = 0;
sigjmp_buf g_walkEscape;

// One crash as the record describes it.
struct CrashFacts {
    bool uncaughtException = false;
    int signal = 0;
    int signalCode = 0;
    std::uintptr_t faultAddress = 0;
    std::uintptr_t signalPc =
        0;  // where the signal struck; for an exception, where the walk starts
    std::uint32_t exceptionCode = 0;
    std::int32_t errorNumber = 0;
    const char* description = "";
    const char* exceptionType = nullptr;
};

// The calling thread's name, as the kernel keeps it.
struct ThreadName {
    char text[kMaxThreadNameBytes] = {};
    ThreadName() noexcept { prctl(PR_GET_NAME, text); }
};

void note(const char* text) noexcept {
    RecordWriter(STDERR_FILENO).raw("KXVantor: ").raw(text).raw("\n");
}

_Unwind_Reason_Code collectFrame(_Unwind_Context* context, void*) {
    int beforeInstruction = 0;
    const std::uintptr_t ip = _Unwind_GetIPInfo(context, &beforeInstruction);
    // The frames of the handler and of the signal's trampoline come first; the crashed thread's
    // own frames start at the interrupted instruction.
    if (!g_walkStarted && g_signalPc != 0 && ip != g_signalPc) {
        return _URC_NO_REASON;
    }
    g_walkStarted = true;
    if (ip == 0) {
        return _URC_END_OF_STACK;  // the outermost frame's caller
    }
    g_frames[g_frameCount++] = ip;
    return g_frameCount < kMaxCrashFrames ? _URC_NO_REASON : _URC_END_OF_STACK;
}

// The unwinder of the C++ runtime walks without allocating (the loader's object lookup is
// lock-free); a fault on a broken stack only ends the walk.
void walkStack(std::uintptr_t signalPc) noexcept {
    g_frameCount = 0;
    g_signalPc = signalPc;
    g_walkStarted = false;
    if (sigsetjmp(g_walkEscape, 1) == 0) {
        g_walkingStack = 1;
        _Unwind_Backtrace(collectFrame, nullptr);
    }
    g_walkingStack = 0;
    if (g_frameCount == 0 && signalPc != 0) {
        g_frames[g_frameCount++] = signalPc;
    }
}

// Claims the recording for the calling thread; false when the capture is not prepared. Applies
// the guards when a crash is already being recorded or reported, and then never returns.
bool claimRecording() noexcept {
    pid_t holder = 0;
    const pid_t self = gettid();
    if (g_recordFd < 0 && g_recordingThread.load() != kReportingProcess) {
        return false;
    }
    if (g_recordingThread.compare_exchange_strong(holder, self)) {
        return true;
    }
    if (holder == kReportingProcess) {
        note("a fault while a crash was being reported; ending the process");
        _exit(1);
    }
    if (holder == self) {
        if (g_walkingStack != 0) {
            siglongjmp(g_walkEscape, 1);
        }
        note("a fault while the crash was being recorded; ending the process");
        _exit(1);
    }
    note("another thread crashed while a crash was being recorded; waiting for its report");
    for (int tenth = 0; tenth < kRestartWaitTenths; ++tenth) {
        const timespec pause{0, 100'000'000};
        nanosleep(&pause, nullptr);
    }
    note("the crash was not reported in time; ending the process");
    _exit(1);
}

// The record file is still the one opened at start (a descriptor closed by mistake and reused
// must not receive the record).
bool recordFileIntact() noexcept {
    struct stat status {};
    return fstat(g_recordFd, &status) == 0 && status.st_dev == g_recordDevice &&
           status.st_ino == g_recordInode;
}

void copyMaps(RecordWriter& out) noexcept {
    if (g_mapsFd < 0 || lseek(g_mapsFd, 0, SEEK_SET) != 0) {
        return;
    }
    char block[4096];
    std::size_t copied = 0;
    while (copied < kMaxMapsBytes) {
        const ssize_t got = read(g_mapsFd, block, sizeof block);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        const std::size_t part = std::min(static_cast<std::size_t>(got), kMaxMapsBytes - copied);
        out.raw(block, part);
        copied += part;
    }
}

bool writeRecord(const CrashFacts& facts) noexcept {
    if (!recordFileIntact() || ftruncate(g_recordFd, 0) != 0 ||
        lseek(g_recordFd, 0, SEEK_SET) != 0) {
        return false;
    }
    RecordWriter out(g_recordFd);
    out.raw(kCrashRecordHeading.data(), kCrashRecordHeading.size()).raw("\n");
    out.field("kind", facts.uncaughtException ? "exception" : "signal");
    if (!facts.uncaughtException) {
        out.field("signal", facts.signal).field("code", facts.signalCode);
        out.raw("address=").hex(facts.faultAddress, 1).raw("\n");
    }
    out.field("thread-id", gettid()).field("thread", ThreadName().text, kMaxThreadNameBytes);
    if (const Frame* frame = Frame::innermost(); frame != nullptr) {
        out.raw("module=").clean(frame->moduleName().data(), frame->moduleName().size());
        out.raw("\nprocedure=").clean(frame->procedureName().data(), frame->procedureName().size());
        out.raw("\n").field("line", frame->currentLine());
    }
    out.field("number", facts.errorNumber).field("description", facts.description, 4096);
    if (facts.exceptionCode != 0) {
        out.raw("exception-code=").hex(facts.exceptionCode, 8).raw("\n");
    }
    if (facts.exceptionType != nullptr) {
        out.field("exception-type", facts.exceptionType, 256);
    }
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    out.field("version", g_version).field("time", now.tv_sec);
    for (std::size_t i = 0; i < g_frameCount; ++i) {
        out.raw("frame=").hex(g_frames[i], 1).raw("\n");
    }
    out.raw(kCrashRecordMapsLine.data(), kCrashRecordMapsLine.size()).raw("\n");
    copyMaps(out);
    out.flush();
    return true;
}

// Replaces the process by the reporting one; returns only when that failed. This is no start of
// another program (platform/shell/spawn_program.h): it runs in the signal handler, where only
// async-signal-safe calls may be made, so the arguments were built when the capture was prepared
// and execve replaces this very process.
void restart() noexcept {
    if (fcntl(g_recordFd, F_SETFD, 0) != 0) {
        return;
    }
    // Nothing may interrupt the switch; the reporting process sets its own mask.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    sigprocmask(SIG_SETMASK, &all, &previous);
    execve("/proc/self/exe", g_restartArguments, environ);
    if (g_programPath != nullptr) {
        execve(g_programPath, g_restartArguments, environ);
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    fcntl(g_recordFd, F_SETFD, FD_CLOEXEC);
}

// Records the crash and restarts; returns only when the capture is not prepared or failed.
void recordAndRestart(const CrashFacts& facts) noexcept {
    if (!claimRecording()) {
        return;
    }
    armReportWatchdog(kRecordBound);
    walkStack(facts.signalPc);
    if (!writeRecord(facts)) {
        note("the crash record could not be written; the crash is not reported");
        return;
    }
    const ThreadName threadName;
    RecordWriter(STDERR_FILENO)
        .raw("KXVantor: ")
        .clean(facts.uncaughtException ? "uncaught exception" : facts.description, 64)
        .raw(" on thread ")
        .decimal(gettid())
        .raw(" (")
        .clean(threadName.text, sizeof threadName.text)
        .raw("); restarting to report it\n");
    restart();
    note("the program could not be restarted to report the crash");
}

[[noreturn]] void onUncaughtException() noexcept {
    CrashFacts facts;
    facts.uncaughtException = true;
    // The walk leaves out this handler's own frames.
    facts.signalPc = reinterpret_cast<std::uintptr_t>(__builtin_return_address(0));
    facts.errorNumber = kUncaughtExceptionErrorNumber;
    facts.description = "uncaught exception";
    if (const std::type_info* type = abi::__cxa_current_exception_type(); type != nullptr) {
        facts.exceptionType = type->name();
        facts.description = "";
        // The exception stays alive after this rethrow's handler: terminate holds it.
        try {
            throw;
        } catch (const RuntimeError& error) {
            facts.errorNumber = error.number();
            facts.description = error.what();
        } catch (const std::exception& error) {
            facts.description = error.what();
        } catch (...) {
        }
    }
    if (!crashBeingHandled() && reportInProgress()) {
        note("an uncaught exception while an error was being reported; ending the process");
        _exit(1);
    }
    recordAndRestart(facts);
    // Not reported: end as without the capture.
    signal(SIGABRT, SIG_DFL);
    std::abort();
}

}  // namespace

bool crashBeingHandled() noexcept {
    return g_recordingThread.load() != 0;
}

void recordCrashAndRestart(int signalNumber, const siginfo_t* info, const void* context) noexcept {
    CrashFacts facts;
    facts.signal = signalNumber;
    facts.signalCode = info != nullptr ? info->si_code : 0;
    facts.faultAddress = info != nullptr && signalNumber != SIGABRT
                             ? reinterpret_cast<std::uintptr_t>(info->si_addr)
                             : 0;
    facts.signalPc = interruptedCode(context).programCounter;
    facts.exceptionCode = faultExceptionCode(signalNumber, info, context);
    const char* name = exceptionName(facts.exceptionCode);
    facts.errorNumber =
        name != nullptr ? exceptionErrorNumber(facts.exceptionCode) : kAbortErrorNumber;
    facts.description = name != nullptr ? name : "abort";
    recordAndRestart(facts);
}

void prepareCrashCapture(int argc, char** argv) {
    if (g_recordFd >= 0) {
        return;
    }
    g_version = reportVersion().c_str();
    try {
        installAlternateStack();
        installFatalSignalHandlers();
    } catch (const RuntimeError& error) {
        std::cerr << "KXVantor: crashes will not be reported: " << error.description() << std::endl;
        return;
    }
    prepareReportWatchdog();
    // The first walk resolves the unwinder's entry, so that a crash needs no symbol lookup.
    walkStack(0);
    const int fd = memfd_create("KXVantor crash record", MFD_CLOEXEC);
    struct stat status {};
    if (fd < 0 || fstat(fd, &status) != 0) {
        std::cerr << "KXVantor: crashes will not be reported: no crash record file ("
                  << std::strerror(errno) << ")" << std::endl;
        return;
    }
    g_mapsFd = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    static std::vector<std::string> words;
    words.assign(argv, argv + argc);
    if (words.empty()) {
        words.emplace_back("KXVantor");
    }
    words.insert(words.begin() + 1, std::string(kCrashReportOption) + std::to_string(fd));
    static std::vector<char*> arguments;
    for (std::string& word : words) {
        arguments.push_back(word.data());
    }
    arguments.push_back(nullptr);
    g_restartArguments = arguments.data();
    std::error_code unreadable;
    static const std::string program = std::filesystem::read_symlink("/proc/self/exe", unreadable);
    g_programPath = program.empty() ? nullptr : program.c_str();
    g_recordDevice = status.st_dev;
    g_recordInode = status.st_ino;
    std::set_terminate(onUncaughtException);
    g_recordFd = fd;
}

void guardCrashReport() {
    g_recordingThread.store(kReportingProcess);
    installAlternateStack();
    installFatalSignalHandlers();
    std::set_terminate(onUncaughtException);
}

}  // namespace kx::crash
