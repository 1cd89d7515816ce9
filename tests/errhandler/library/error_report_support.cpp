#include "error_report_support.h"

#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <sstream>

#include "child_process.h"

namespace kx::test {

ReportServer::ReportServer() {
    kxserver({"init", (dir_ / "catalog").string(), "--pbkdf2-iterations", "1"});
    serve_ = std::make_unique<ServeProcess>(dir_ / "catalog");
}

std::vector<nlohmann::ordered_json> ReportServer::reports() const {
    std::istringstream lines(kxserver({"reports", (dir_ / "catalog").string()}));
    std::vector<nlohmann::ordered_json> fields;
    for (std::string line; std::getline(lines, line);) {
        fields.push_back(nlohmann::ordered_json::parse(line).at("fields"));
    }
    return fields;
}

namespace {

// Once a report has ended: tells what the dialog shows and presses Close, or sends the process
// SIGTERM (a process still running 5 s later says so and ends with 3).
void endEndedReport(bool bySignal) {
    static bool ended = false;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* close = window->findChild<QPushButton*>(QStringLiteral("cmdOK"));
        if (close == nullptr || !close->isEnabled() || ended) {
            continue;
        }
        const auto text = [&](const char* name) {
            return window->findChild<QLabel*>(QString::fromUtf8(name))->text().toStdString();
        };
        emit(text("lblError") + "|" + text("lblStatus") + "\n");
        ended = true;
        if (!bySignal) {
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

void watchFromFirstEvent(bool bySignal) {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [bySignal] {
            auto* poll = new QTimer(QCoreApplication::instance());
            QObject::connect(poll, &QTimer::timeout, [bySignal] { endEndedReport(bySignal); });
            poll->start(10);
        },
        Qt::QueuedConnection);
}

}  // namespace

void watchForErrorDialogFromFirstEvent() {
    watchFromFirstEvent(false);
}

void terminateAtErrorDialogFromFirstEvent() {
    watchFromFirstEvent(true);
}

}  // namespace kx::test
