// KXVantor as the whole-program tests drive it: the real program (runLauncher with Main) plus
// one act named by its first argument, with the user in front of the error dialog played by
// error_report_support.h.
//   login           types DEMO, DEMO and a password into the login window and presses Login; the
//                   process is sent SIGTERM once the report has ended (else Close is pressed)
//   fault-outside   a timer of the window events, outside every procedure, writes through a null
//                   pointer (SIGSEGV)
//   idle            nothing: the window waits for the user (or SIGTERM)

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "error_report_support.h"
#include "launcher_main.h"
#include "launcher_run.h"

namespace {

int* volatile g_nullTarget = nullptr;
std::string g_act;

// The fault is real: the sanitizers must not stop it before the hardware does.
__attribute__((noinline, no_sanitize("undefined"))) void writeThroughNull() {
    *g_nullTarget = 1;
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
    g_act = argc > 1 ? argv[1] : "";
    // A failure outside every procedure is reported in an application object of its own.
    qAddPreRoutine([] { kx::test::answerErrorDialogFromFirstEvent(g_act == "login"); });
    return kx::launcher::runLauncher(argc, argv, &DrivenMain);
}
