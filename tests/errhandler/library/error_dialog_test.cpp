// frmError on the offscreen platform: its report sequence against real servers on loopback, with
// the machine's diagnostics fixed so that only the sequence is under test.

#include "frm_error.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <tuple>

#include "loopback_http_server.h"
#include "qt_test_application.h"
#include "report_texts.h"
#include "scoped_environment.h"

namespace kx::errhandler {
namespace {

using test::httpResponse;
using test::LoopbackHttpServer;

constexpr const char* kPath = "/GenErrorReport.asp";

// Loads the dialog, shows it, answers its message boxes with OK and waits until Close is enabled.
// Returns the status line, then a line "title|text" for each box.
std::string runDialog(const std::string& url, ReportSources sources) {
    test::qtTestApplication();
    ReportSettings settings{url, {}};
    settings.transfer.connectTimeout = settings.transfer.stallTimeout = std::chrono::seconds(1);
    FrmError form(ErrorInfo{"P", "1.2", "M", "R", 10, 5, "Oops", "ctx", "", "", ""},
                  std::move(sources), settings);
    form.show();
    std::string boxes;
    QTimer boxWatch;
    QObject::connect(&boxWatch, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxes += "\n" + box->windowTitle().toStdString() + "|" + box->text().toStdString();
            box->button(QMessageBox::Ok)->click();
        }
    });
    boxWatch.start(10);
    const auto* close = form.findChild<QPushButton*>(QStringLiteral("cmdOK"));
    // A box comes up in the tick that enables Close, and is answered inside it.
    EXPECT_TRUE(QTest::qWaitFor([&] { return close->isEnabled(); }, 20000));
    return form.findChild<QLabel*>(QStringLiteral("lblStatus"))->text().toStdString() + boxes;
}

TEST(ErrorDialog, OnlyAnAnswerHoldingTheDigitOneIsDeliveredAndAFailedRunStartsAgain) {
    const test::ProxyFreeEnvironment environment;
    const std::string notDelivered = std::string(kStatusNotDelivered) +
                                     "\nZNErrHandler|There was an error trying to send data to "
                                     "our support team.\nThis could be caused by internet "
                                     "problems or machine specific problems.\nTry rebooting "
                                     "and/or check your internet connection.";
    // The server's answer (none: it takes the report and never answers), whether the first
    // gathering fails (the next tick then starts again with a new transfer), what the user sees.
    const std::tuple<std::string, bool, std::string> cases[] = {
        {httpResponse("200 OK", "Stored as report 31."), false, kStatusDelivered},
        {httpResponse("200 OK", "1"), true, kStatusDelivered},
        {httpResponse("200 OK", ""), false, notDelivered},
        {httpResponse("500 Server Error", "Error 1"), false, notDelivered},
        {"", false, notDelivered}};
    for (const auto& [answer, firstGatheringFails, shown] : cases) {
        LoopbackHttpServer server(answer.empty() ? test::noAnswer() : test::rawAnswer(answer));
        int gathered = 0;
        const auto diagnostics = [&gathered, failFirst = firstGatheringFails] {
            if (++gathered == 1 && failFirst) {
                throw std::runtime_error("the first gathering fails");
            }
            return DiagnosticsInputs{};
        };
        EXPECT_EQ(runDialog(server.url(kPath), {diagnostics, [] { return std::string("T"); }}),
                  shown)
            << answer;
        EXPECT_EQ(gathered, firstGatheringFails ? 2 : 1) << answer;
        EXPECT_EQ(server.requests().size(), 1u) << "one run, one post";
    }
}

}  // namespace
}  // namespace kx::errhandler
