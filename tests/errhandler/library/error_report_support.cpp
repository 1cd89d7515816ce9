#include "error_report_support.h"

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

void pressCloseOfEndedReports() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* close = window->findChild<QPushButton*>(QStringLiteral("cmdOK"));
        if (close != nullptr && close->isEnabled()) {
            const auto text = [&](const char* name) {
                return window->findChild<QLabel*>(QString::fromUtf8(name))->text().toStdString();
            };
            emit(text("lblError") + "|" + text("lblStatus") + "\n");
            close->click();
        }
    }
}

}  // namespace

void watchForErrorDialogFromFirstEvent() {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [] {
            auto* poll = new QTimer(QCoreApplication::instance());
            QObject::connect(poll, &QTimer::timeout, &pressCloseOfEndedReports);
            poll->start(10);
        },
        Qt::QueuedConnection);
}

}  // namespace kx::test
