#include "dialog_watch.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "child_process.h"

namespace kx::test {

namespace {

QString textOf(const QWidget& window, const char* label) {
    const auto* shown = window.findChild<QLabel*>(QString::fromUtf8(label));
    return shown != nullptr ? shown->text() : QString();
}

}  // namespace

void watchForErrorDialog() {
    auto* poll = new QTimer(QCoreApplication::instance());
    QObject::connect(poll, &QTimer::timeout, [] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* close = window->findChild<QPushButton*>(QStringLiteral("cmdOK"));
            if (close != nullptr && close->isEnabled()) {
                emit((textOf(*window, "lblError") + QLatin1Char('|') +
                      textOf(*window, "lblStatus") + QLatin1Char('\n'))
                         .toStdString());
                close->click();
            }
        }
    });
    poll->start(10);
}

void watchForErrorDialogFromFirstEvent() {
    QMetaObject::invokeMethod(QCoreApplication::instance(), &watchForErrorDialog,
                              Qt::QueuedConnection);
}

}  // namespace kx::test
