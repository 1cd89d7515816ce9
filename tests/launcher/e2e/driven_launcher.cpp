// KXVantor as the whole-program tests drive it: the real program (runLauncher with Main) plus
// one act named by its first argument, with the user in front of the error dialog played by
// error_report_support.h.
//   login               types DEMO, DEMO and a password into the login window and presses Login
//   login-term          the same, but the process is sent SIGTERM once the report has ended
//   fault-in-procedure  the trapped procedure Module1.GetHILOWord divides by zero (SIGFPE)
//   fault-outside       a timer of the window events, outside every procedure, writes through a
//                       null pointer (SIGSEGV)

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "error_report_support.h"
#include "launcher_main.h"
#include "launcher_run.h"
#include "trap.h"

namespace {

int* volatile g_nullTarget = nullptr;
volatile int g_zero = 0;
volatile int g_sink = 0;
std::string g_act;

// The faults are real: the sanitizers must not stop them before the hardware does.
#define KX_REAL_FAULT __attribute__((noinline, no_sanitize("undefined")))

KX_REAL_FAULT void divideByZero() {
    g_sink = 100 / g_zero;
}

KX_REAL_FAULT void writeThroughNull() {
    *g_nullTarget = 1;
}

void GetHILOWord() {
    kx::crash::Frame frame("Module1", "GetHILOWord");
    kx::crash::trapped(frame, [&] { divideByZero(); });
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
    if (g_act == "login" || g_act == "login-term") {
        static_cast<QLineEdit*>(named("txtFilerCode"))->setText(QStringLiteral("DEMO"));
        static_cast<QLineEdit*>(named("txtLogin"))->setText(QStringLiteral("DEMO"));
        static_cast<QLineEdit*>(named("txtPassword"))->setText(QStringLiteral("Secret-Pass"));
        static_cast<QPushButton*>(named("cmdLogin"))->click();
    } else if (g_act == "fault-in-procedure") {
        GetHILOWord();
    } else if (g_act == "fault-outside") {
        writeThroughNull();
    }
}

void DrivenMain() {
    kx::launcher::Main(kx::launcher::LauncherEnvironment::ofThisProcess());
    QTimer::singleShot(100, QCoreApplication::instance(), &act);
}

}  // namespace

int main(int argc, char** argv) {
    g_act = argc > 1 ? argv[1] : "";
    // A failure outside every procedure is reported in an application object of its own.
    qAddPreRoutine(g_act == "login-term" ? &kx::test::terminateAtErrorDialogFromFirstEvent
                                         : &kx::test::watchForErrorDialogFromFirstEvent);
    return kx::launcher::runLauncher(argc, argv, &DrivenMain);
}
