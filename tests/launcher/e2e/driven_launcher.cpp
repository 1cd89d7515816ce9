// KXVantor as the whole-program tests drive it: the real program (runLauncher with Main) plus
// one act named by its first argument, with the user in front of the error dialog played by
// dialog_watch.h.
//   login               types DEMO, DEMO and a password into the login window and presses Login
//   fault-in-procedure  the trapped procedure Module1.GetHILOWord divides by zero (SIGFPE)
//   fault-outside       a timer of the window events, outside every procedure, writes through a
//                       null pointer (SIGSEGV)

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <string>

#include "dialog_watch.h"
#include "launcher_run.h"
#include "mod_startup.h"
#include "trap.h"

namespace {

// The faults are real: the sanitizers must not stop them before the hardware does.
#define KX_REAL_FAULT __attribute__((noinline, no_sanitize("undefined")))

int* volatile g_nullTarget = nullptr;
volatile int g_zero = 0;
volatile int g_sink = 0;
std::string g_act;

KX_REAL_FAULT void writeThroughNull() {
    *g_nullTarget = 1;
}

KX_REAL_FAULT void divideByZero() {
    g_sink = 100 / g_zero;
}

void GetHILOWord() {
    kx::crash::Frame frame("Module1", "GetHILOWord");
    kx::crash::trapped(frame, [&] {
        frame.line(5);
        divideByZero();
    });
}

void typeLoginAndPressLogin() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* filerCode = window->findChild<QLineEdit*>(QStringLiteral("txtFilerCode"))) {
            filerCode->setText(QStringLiteral("DEMO"));
            window->findChild<QLineEdit*>(QStringLiteral("txtLogin"))
                ->setText(QStringLiteral("DEMO"));
            window->findChild<QLineEdit*>(QStringLiteral("txtPassword"))
                ->setText(QStringLiteral("Secret-Pass"));
            window->findChild<QPushButton*>(QStringLiteral("cmdLogin"))->click();
        }
    }
}

void DrivenMain() {
    kx::launcher::Main();
    QTimer::singleShot(100, QCoreApplication::instance(), [] {
        if (g_act == "login") {
            typeLoginAndPressLogin();
        } else if (g_act == "fault-in-procedure") {
            GetHILOWord();
        } else if (g_act == "fault-outside") {
            writeThroughNull();
        }
    });
}

}  // namespace

int main(int argc, char** argv) {
    g_act = argc > 1 ? argv[1] : "";
    // A failure outside every procedure is reported in an application object of its own.
    qAddPreRoutine(&kx::test::watchForErrorDialogFromFirstEvent);
    return kx::launcher::runLauncher(argc, argv, &DrivenMain);
}
