#include "launcher/app/windowed_program.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>

#include "launcher/app/after_first_paint.h"
#include "launcher/crash/crash_support.h"
#include "launcher/crash/spooled_reports.h"
#include "launcher/crash/trap.h"
#include "launcher/login/qt/qt_login_window.h"
#include "platform/runtime/qt/qt_message_box.h"
#include "platform/runtime/run_time_error.h"

namespace kx::launcher::qt {
namespace {

// The write end of the pipe through which the signal handler wakes the event loop.
int terminationPipeWrite = -1;

void onTerminationSignal(int /*signalNumber*/) {
    const int savedErrno = errno;
    const char byte = 1;
    // Async-signal-safe; a full pipe already holds a pending request.
    [[maybe_unused]] const ssize_t written = write(terminationPipeWrite, &byte, 1);
    errno = savedErrno;
}

[[noreturn]] void cannotWatchForTermination(const char* call, int error) {
    raiseError(vberr::kPathFileAccessError, "KXVantor",
               std::string("Cannot watch for the end signal: ") + call + " failed (" +
                   std::strerror(error) + ")");
}

// A request to end while an error is being reported: the unload cannot run (the report holds the
// program, and nothing may be saved after a failure), so the process ends as the error dialog's
// Close ends it. The report's post blocks the event loop, so a request that arrives during the
// post is acted on only once the post has finished or failed; one that arrives before it ends
// the report unsent (its entry is already in the error log).
void endDuringReport() {
    std::cerr << "KXVantor: asked to end (SIGTERM) while an error was being reported; ending"
              << std::endl;
    crash::endLauncherProcess();
}

// Turns SIGTERM into a session-end unload of `window`, handled by the event loop. The handler
// stays installed for the process; the notifier lives as long as the window's widget.
void unloadOnTermination(QtLoginWindow& window) {
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0) {
        cannotWatchForTermination("socketpair", errno);
    }
    terminationPipeWrite = fds[1];
    auto* notifier = new QSocketNotifier(fds[0], QSocketNotifier::Read, window.window());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [&window, fd = fds[0]] {
        char drained[16];
        while (read(fd, drained, sizeof drained) > 0) {
        }
        if (crash::reportInProgress()) {
            endDuringReport();
        }
        window.form().closeRequested(unloadmode::kAppWindows);
    });
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (sigaction(SIGTERM, &action, nullptr) != 0) {
        cannotWatchForTermination("sigaction", errno);
    }
    // A request sent before this point waits, if the starter blocked the signal, and arrives now;
    // an inherited mask must not hide it for the rest of the run either.
    sigset_t terminate;
    sigemptyset(&terminate);
    sigaddset(&terminate, SIGTERM);
    if (const int error = pthread_sigmask(SIG_UNBLOCK, &terminate, nullptr); error != 0) {
        cannotWatchForTermination("pthread_sigmask", error);
    }
}

}  // namespace

int runWindowedProgram(int& argc, char** argv, const std::function<void()>& Main) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KXVantor"));
    installQtMessageBox();
    Main();
    return QApplication::exec();
}

void showLoginWindow(LauncherEnvironment environment,
                     const std::function<void(FrmLogin&)>& wireProcedures) {
    // Owned until the application quits; the process ends right after.
    auto* window = new QtLoginWindow(std::move(environment));
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, [window] { delete window; });
    unloadOnTermination(*window);
    wireProcedures(window->form());
    window->show();
    if (QWidget* shown = window->window()) {
        new AfterFirstPaint(shown, &crash::sendSpooledReportsInBackground);
    }
}

}  // namespace kx::launcher::qt
