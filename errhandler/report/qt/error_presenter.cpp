#include "errhandler/report/qt/error_presenter.h"

#include <QApplication>
#include <QThread>

#include "errhandler/report/error_record.h"
#include "errhandler/report/headless_report.h"
#include "errhandler/report/qt/display_probe.h"
#include "errhandler/report/qt/frm_error.h"

namespace kx::errhandler {

namespace {

QApplication* applicationForDialog() {
    if (QCoreApplication* existing = QCoreApplication::instance()) {
        auto* widgets = qobject_cast<QApplication*>(existing);
        const bool onItsThread = QThread::currentThread() == existing->thread();
        return widgets != nullptr && onItsThread ? widgets : nullptr;
    }
    if (!displayAvailable()) {
        return nullptr;
    }
    static int argc = 1;
    static char name[] = "ZNErrHandler";
    static char* argv[] = {name, nullptr};
    // Kept for the rest of the process: the host may call again, and its own windows (if it makes
    // any later) need the one application object.
    static QApplication* made = new QApplication(argc, argv);
    return made;
}

}  // namespace

void presentErrorDialog(const std::string& description) {
    const ReportSettings settings = ReportSettings::ofThisMachine();
    if (applicationForDialog() == nullptr) {
        reportWithoutDisplay(errorRecord(), ReportSources{}, settings);
    }
    FrmError form(errorRecord(), ReportSources{}, settings);
    form.setErrorText(description);
    form.exec();
}

}  // namespace kx::errhandler
