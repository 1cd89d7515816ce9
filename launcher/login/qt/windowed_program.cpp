#include "windowed_program.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <cerrno>

#include "qt_login_window.h"
#include "qt_message_box.h"
#include "run_time_error.h"

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

// Turns SIGTERM into a session-end unload of `window`, handled by the event loop. The handler
// stays installed for the process; the notifier lives as long as the window's widget.
void unloadOnTermination(QtLoginWindow& window) {
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0) {
        raiseError(vberr::kPathFileAccessError, "KXVantor", "Cannot watch for the end signal");
    }
    terminationPipeWrite = fds[1];
    auto* notifier = new QSocketNotifier(fds[0], QSocketNotifier::Read, window.window());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [&window, fd = fds[0]] {
        char drained[16];
        while (read(fd, drained, sizeof drained) > 0) {
        }
        window.form().closeRequested(unloadmode::kAppWindows);
    });
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    // A request sent before this point waits, if the starter blocked the signal, and arrives now;
    // an inherited mask must not hide it for the rest of the run either.
    sigset_t terminate;
    sigemptyset(&terminate);
    sigaddset(&terminate, SIGTERM);
    pthread_sigmask(SIG_UNBLOCK, &terminate, nullptr);
}

}  // namespace

int runWindowedProgram(int& argc, char** argv, void (*Main)()) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KXVantor"));
    installQtMessageBox();
    Main();
    return QApplication::exec();
}

void showLoginWindow(LoadEnvironment environment,
                     const std::function<void(FrmLogin&)>& wireProcedures) {
    // Owned until the application quits; the process ends right after.
    auto* window = new QtLoginWindow(std::move(environment));
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, [window] { delete window; });
    unloadOnTermination(*window);
    wireProcedures(window->form());
    window->show();
}

}  // namespace kx::launcher::qt
