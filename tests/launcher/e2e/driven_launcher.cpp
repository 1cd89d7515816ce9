// KXVantor as the whole-program tests drive it: the real program (runLauncher with Main) plus
// one act named by its first argument, with the user in front of the error dialog played by
// error_report_support.h.
//   login               types DEMO, DEMO and a password into the login window and presses Login;
//                       the process is sent SIGTERM once the report has ended (else Close is
//                       pressed)
//   fault-outside       a timer of the window events, outside every procedure, writes through a
//                       null pointer (SIGSEGV)
//   abort-in-procedure  a trapped procedure calls abort()
//   fault-on-thread     two threads named "kx-segv" write through a null pointer at once
//   overflow-on-thread  a thread named "kx-deep" recurses until its stack overflows
//   throw-in-event      an event handler that must not throw lets an exception out
//   fault-in-report     abort() on the window's thread; the reporting process then faults too
//   killed-from-outside another process sends the launcher SIGSEGV
//   idle                nothing: the window waits for the user (or SIGTERM)

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <latch>
#include <stdexcept>
#include <thread>
#include <vector>

#include "launcher/app/launcher_main.h"
#include "launcher/app/launcher_run.h"
#include "launcher/crash/crash_report.h"
#include "launcher/crash/trap.h"
#include "tests/errhandler/library/error_report_support.h"

namespace {

int* volatile g_nullTarget = nullptr;
volatile bool g_failing = true;
std::string g_act;

// The faults are real: the sanitizers must not stop them before the hardware does.
__attribute__((noinline, no_sanitize("undefined"))) void writeThroughNull() {
    *g_nullTarget = 1;
}

__attribute__((noinline)) void abortInProcedure() {
    kx::crash::Frame frame("modDriven", "AbortInProcedure");
    frame.line(40);
    std::abort();
}

// Ends only when the stack does, as long as the flag stays set (which it does).
__attribute__((noinline)) int recurseWithoutEnd(unsigned depth) {
    volatile char page[256] = {};
    page[depth % sizeof page] = static_cast<char>(depth);
    return (g_failing ? recurseWithoutEnd(depth + 1) : 0) + page[0];
}

__attribute__((noinline)) void failInEventHandler() {
    if (g_failing) {
        throw std::runtime_error("the event handler failed");
    }
}

__attribute__((noinline)) void onTimerThatMustNotThrow() noexcept {
    failInEventHandler();
}

// Runs `body` on `count` threads named `name`, released together.
void onNamedThreads(const char* name, void (*body)(), std::ptrdiff_t count = 1) {
    std::latch start(count);
    std::vector<std::thread> threads;
    for (std::ptrdiff_t i = 0; i < count; ++i) {
        threads.emplace_back([&start, name, body] {
            pthread_setname_np(pthread_self(), name);
            start.arrive_and_wait();
            body();
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
}

void act() {
    const auto named = [](const char* name) {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (auto* widget = window->findChild<QWidget*>(QString::fromUtf8(name))) {
                return widget;
            }
        }
        return static_cast<QWidget*>(nullptr);
    };
    if (g_act == "fault-outside") {
        writeThroughNull();
    } else if (g_act == "abort-in-procedure") {
        abortInProcedure();
    } else if (g_act == "fault-in-report") {
        std::abort();
    } else if (g_act == "fault-on-thread") {
        onNamedThreads("kx-segv", writeThroughNull, 2);
    } else if (g_act == "overflow-on-thread") {
        onNamedThreads("kx-deep", [] { recurseWithoutEnd(0); });
    } else if (g_act == "throw-in-event") {
        onTimerThatMustNotThrow();
    } else if (g_act == "killed-from-outside") {
        if (fork() == 0) {
            kill(getppid(), SIGSEGV);
            _exit(0);
        }
        pause();
    }
    if (g_act == "idle") {
        return;
    }
    static_cast<QLineEdit*>(named("txtFilerCode"))->setText(QStringLiteral("DEMO"));
    static_cast<QLineEdit*>(named("txtLogin"))->setText(QStringLiteral("DEMO"));
    static_cast<QLineEdit*>(named("txtPassword"))->setText(QStringLiteral("Secret-Pass"));
    static_cast<QPushButton*>(named("cmdLogin"))->click();
}

void DrivenMain() {
    kx::launcher::Main(kx::launcher::LauncherEnvironment::ofThisProcess());
    QTimer::singleShot(100, QCoreApplication::instance(), &act);
}

}  // namespace

int main(int argc, char** argv) {
    // The reporting process of a crash gets the act after its own first argument.
    const int actIndex = kx::crash::isCrashReportRun(argc, argv) ? 2 : 1;
    g_act = argc > actIndex ? argv[actIndex] : "";
    if (actIndex == 2 && g_act == "fault-in-report") {
        qAddPreRoutine([] {
            QMetaObject::invokeMethod(QCoreApplication::instance(), &writeThroughNull,
                                      Qt::QueuedConnection);
        });
    } else {
        // A failure outside every procedure is reported in an application object of its own.
        qAddPreRoutine([] { kx::test::answerErrorDialogFromFirstEvent(g_act == "login"); });
    }
    return kx::launcher::runLauncher(argc, argv, &DrivenMain);
}
