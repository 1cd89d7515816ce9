// frmError on the offscreen platform: its report sequence against real servers on loopback, with
// the machine's diagnostics fixed so that only the sequence is under test.

#include "frm_error.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "loopback_http_server.h"
#include "qt_test_application.h"
#include "report_texts.h"
#include "scoped_environment.h"

namespace kx::errhandler {
namespace {

using test::httpResponse;
using test::LoopbackHttpServer;

constexpr const char* kPath = "/GenErrorReport.asp";

struct Outcome {
    std::string status;              // lblStatus at the end
    std::vector<std::string> boxes;  // title "|" text of each message box, answered with OK
};

ReportSources fixedSources() {
    return {[] { return DiagnosticsInputs{}; }, [] { return std::string("TOKEN"); }};
}

// Loads the dialog, shows it, answers its message boxes and waits until Close is enabled.
Outcome runDialog(const std::string& url, ReportSources sources = fixedSources()) {
    test::qtTestApplication();
    ReportSettings settings{url, {}};
    settings.transfer.connectTimeout = settings.transfer.stallTimeout = std::chrono::seconds(1);
    FrmError form(ErrorInfo{"P", "1.2", "M", "R", 10, 5, "Oops", "ctx", "", "", ""},
                  std::move(sources), settings);
    form.show();
    Outcome outcome;
    QTimer boxWatch;
    QObject::connect(&boxWatch, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            outcome.boxes.push_back(box->windowTitle().toStdString() + "|" +
                                    box->text().toStdString());
            box->button(QMessageBox::Ok)->click();
        }
    });
    boxWatch.start(10);
    const auto* close = form.findChild<QPushButton*>(QStringLiteral("cmdOK"));
    // A box comes up in the tick that enables Close, and is answered inside it.
    EXPECT_TRUE(QTest::qWaitFor([&] { return close->isEnabled(); }, 20000));
    outcome.status = form.findChild<QLabel*>(QStringLiteral("lblStatus"))->text().toStdString();
    return outcome;
}

TEST(ErrorDialog, OnlyAnAnswerHoldingTheDigitOneIsDeliveredElseOneBoxTellsTheUser) {
    const test::ProxyFreeEnvironment environment;
    const std::vector<std::string> notDeliveredBox = {
        "ZNErrHandler|There was an error trying to send data to our support team.\n"
        "This could be caused by internet problems or machine specific problems.\n"
        "Try rebooting and/or check your internet connection."};
    const std::pair<std::string, bool> answers[] = {
        {httpResponse("200 OK", "Stored as report 31."), true},
        {httpResponse("200 OK", ""), false},
        {httpResponse("500 Server Error", "Error 1"), false},
        {"", false}};  // a server that takes the report and never answers
    for (const auto& [answer, delivered] : answers) {
        LoopbackHttpServer server(answer.empty() ? test::noAnswer() : test::rawAnswer(answer));
        const Outcome outcome = runDialog(server.url(kPath));
        EXPECT_EQ(outcome.status, delivered ? kStatusDelivered : kStatusNotDelivered) << answer;
        EXPECT_EQ(outcome.boxes, delivered ? std::vector<std::string>{} : notDeliveredBox);
        EXPECT_EQ(server.requests().size(), 1u) << "one run, one post";
    }
}

TEST(ErrorDialog, ARunThatFailsStartsAgainAtTheNextTickWithANewTransfer) {
    const test::ProxyFreeEnvironment environment;
    LoopbackHttpServer server(test::rawAnswer(httpResponse("200 OK", "1")));
    int gathered = 0;
    ReportSources sources = fixedSources();
    sources.diagnostics = [&] {
        if (++gathered == 1) {
            throw std::runtime_error("the first gathering fails");
        }
        return DiagnosticsInputs{};
    };
    EXPECT_EQ(runDialog(server.url(kPath), sources).status, kStatusDelivered);
    EXPECT_EQ(gathered, 2);
    EXPECT_EQ(server.requests().size(), 1u);
}

}  // namespace
}  // namespace kx::errhandler
