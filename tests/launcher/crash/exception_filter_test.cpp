#include "launcher/crash/exception_filter.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>

#include "launcher/crash/crash_support.h"
#include "launcher/crash/trap.h"
#include "platform/runtime/message_box.h"
#include "platform/runtime/report_watchdog.h"
#include "platform/runtime/run_time_error.h"
#include "tests/support/child_process.h"

namespace kx::crash {

// A value whose reading never finishes, standing in for a dump that deadlocks.
struct HangingValue {};
Variant toVariant(const HangingValue&) {
    for (;;) {
        pause();
    }
}

namespace {

using test::ChildResult;
using test::emit;
using test::runInChild;

// The faults are real: the sanitizers must not stop them before the hardware does.
#define KX_REAL_FAULT __attribute__((noinline, no_sanitize("undefined")))

int* volatile g_nullTarget = nullptr;
volatile int g_zero = 0;
volatile int g_sink = 0;

KX_REAL_FAULT void writeThroughNull() {
    *g_nullTarget = 1;
}
KX_REAL_FAULT void divideByZero() {
    g_sink = 100 / g_zero;
}

// In the child: install the filter and have the fallback box write what it shows, with the
// captured error source, to the pipe.
void installFilterAndEchoingBox() {
    qtrInstallFilter();
    setMessageBoxHandler([](const std::string& prompt, std::int32_t, const std::string&) {
        emit(prompt + "|" + modCrashSupport().qtrErrorSource);
        return vbmsg::kOK;
    });
}

// What the capture writes to standard error before its fallback box, no error library being
// registered in these children.
const std::string kNoLibraryNote =
    "KXVantor: the error library could not be created (ActiveX component can't create object: the "
    "ProgID \"ZNErrHandler.Error\" is not registered (no HKEY_CLASSES_ROOT\\ZNErrHandler.Error\\"
    "CLSID), error 429); the error is shown in the fallback message box\n";

// Kept out of the trapped body, whose frame then has nothing to clean up (see trap.h on clang).
void ignoreOneFault() {
    resumeNext([] { writeThroughNull(); });
    emit("ignored " + std::to_string(Err().Number) +
         " armed=" + std::to_string(reportWatchdogArmed()) + "\n");
}

TEST(ExceptionFilter, IgnoredFaultReopensTheCrashPathAndDisarmsTheWatchdog) {
    const ChildResult child = runInChild([] {
        installFilterAndEchoingBox();
        qtrInstallFilter();  // a second installation changes nothing
        Frame frame("Module1", "InitDirectories");
        trapped(frame, [&] {
            frame.line(1);
            ignoreOneFault();
            frame.line(2);
            // Entered opaquely because clang, unlike GCC, gives this body's frame no
            // exception entry for a call it deems unable to throw (see trap.h).
            platformCall([] { divideByZero(); });
        });
    });
    EXPECT_EQ(child.exitCode, 1);
    EXPECT_EQ(child.output, "ignored 10005 armed=0\n" + kNoLibraryNote +
                                fallbackReportText(10132, "Module1", "InitDirectories",
                                                   "Integer Divide By Zero", 2) +
                                "|qtrExceptionFilter");
}

TEST(ExceptionFilter, FaultWhileReportingEndsTheProcessAtOnce) {
    const ChildResult child = runInChild([] {
        qtrInstallFilter();
        setMessageBoxHandler([](const std::string&, std::int32_t, const std::string&) {
            emit("box\n");
            writeThroughNull();
            emit("box survived\n");
            return vbmsg::kOK;
        });
        Frame frame("frmLogin", "Form_Load");
        trapped(frame, [&] { divideByZero(); });
    });
    EXPECT_EQ(child.exitCode, 1);
    EXPECT_EQ(child.output,
              kNoLibraryNote +
                  "box\nKXVantor: a fault while an error was being handled; ending the process\n");
}

TEST(ExceptionFilter, WatchdogEndsAFaultReportThatHangsBeforeItsDialog) {
    const ChildResult child = runInChild([] {
        setFaultReportBound(std::chrono::milliseconds(100));
        installFilterAndEchoingBox();
        const HangingValue stuck;
        Frame frame("frmLogin", "tmrComInstall_Timer");
        frame.local("stuck", stuck);
        trapped(frame, [&] { writeThroughNull(); });
    });
    EXPECT_EQ(child.exitCode, 1);
    EXPECT_NE(child.output.find("did not reach its dialog in time"), std::string::npos)
        << child.output;
}

TEST(ExceptionFilter, MessageBoxDisarmsTheWatchdogSoTheUserIsNotCutShort) {
    const ChildResult child = runInChild([] {
        setFaultReportBound(std::chrono::milliseconds(50));
        qtrInstallFilter();
        setMessageBoxHandler([](const std::string&, std::int32_t, const std::string&) {
            // The user reads the box for far longer than the bound.
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            emit("user closed the box\n");
            return vbmsg::kOK;
        });
        armReportWatchdog(std::chrono::milliseconds(50));
        MsgBox("text");
    });
    EXPECT_EQ(child.exitCode, 0);
    EXPECT_EQ(child.output, "user closed the box\n");
}

TEST(ExceptionFilter, FaultsOutsideATrapOrSentByAProcessKeepTheirDefaultAction) {
    const ChildResult untrapped = runInChild([] {
        qtrInstallFilter();
        writeThroughNull();
    });
    EXPECT_EQ(untrapped.signal, SIGSEGV);

    const ChildResult sent = runInChild([] {
        installFilterAndEchoingBox();
        Frame frame("Module1", "KillFolder");
        trapped(frame, [] { raise(SIGFPE); });
    });
    EXPECT_EQ(sent.signal, SIGFPE);
    EXPECT_EQ(sent.output, "");
}

TEST(ExceptionCodes, NamesAndErrorNumbers) {
    // The stack overflow is the whole-program crash tests'.
    EXPECT_EQ(qtrExceptionText(0xE06D7363), "Unknown (&HE06D7363)");
    EXPECT_EQ(exceptionErrorNumber(0xE06D7363), 10099);
    EXPECT_EQ(qtrExceptionText(0x00000001), "Unknown (&H00000001)");
    EXPECT_EQ(qtrExceptionText(exceptionCodeFor(SIGILL, ILL_PRVOPC, false)),
              "Privileged Instruction");
    EXPECT_EQ(qtrExceptionText(exceptionCodeFor(SIGBUS, BUS_ADRALN, false)),
              "Data Type Misalignment");
    EXPECT_EQ(qtrExceptionText(exceptionCodeFor(SIGTRAP, 0x80, false)), "Breakpoint");
    EXPECT_EQ(qtrExceptionText(exceptionCodeFor(SIGFPE, FPE_FLTUND, false)), "Float Underflow");
}

}  // namespace
}  // namespace kx::crash
