#include "tests/errhandler/library/error_report_support.h"

#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "tests/support/child_process.h"

namespace kx::test {

namespace {

void answerEndedReport(bool bySigterm) {
    static bool answered = false;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* close = window->findChild<QPushButton*>(QStringLiteral("cmdOK"));
        if (close == nullptr || !close->isEnabled() || answered) {
            continue;
        }
        const auto text = [&](const char* name) {
            return window->findChild<QLabel*>(QString::fromUtf8(name))->text().toStdString();
        };
        emit(text("lblError") + "|" + text("lblStatus") + "\n");
        answered = true;
        if (!bySigterm) {
            close->click();
            continue;
        }
        ::kill(::getpid(), SIGTERM);
        QTimer::singleShot(5000, [] {
            emit("SIGTERM left the process running\n");
            ::_exit(3);
        });
    }
}

}  // namespace

void answerErrorDialogFromFirstEvent(bool bySigterm) {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [bySigterm] {
            auto* poll = new QTimer(QCoreApplication::instance());
            QObject::connect(poll, &QTimer::timeout, [bySigterm] { answerEndedReport(bySigterm); });
            poll->start(10);
        },
        Qt::QueuedConnection);
}

}  // namespace kx::test
