// frmError on the offscreen platform: its report sequence against real servers on loopback, with
// the machine's diagnostics fixed so that only the sequence is under test, and its window as the
// user sees it, re-branded by the real white-label component.

#include "errhandler/report/qt/frm_error.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <memory>
#include <tuple>

#include "errhandler/report/report_texts.h"
#include "tests/components/whitelabel/white_label_fixture.h"
#include "tests/launcher/login/qt_test_application.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/scoped_environment.h"

namespace kx::errhandler {
namespace {

using test::httpResponse;
using test::LoopbackHttpServer;

constexpr const char* kPath = "/GenErrorReport.asp";

// Loads the dialog, shows it, answers its message boxes with OK and waits until Close is enabled.
// Returns the status line, then a line "title|text" for each box.
std::string runDialog(const std::string& url, ReportSources sources) {
    test::qtTestApplication();
    ReportSettings settings{url, {}, {}};
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
    // The server's answer (none: it takes the report and never answers), how many gatherings
    // fail (each failed run is made again at the next tick with a new transfer, up to the last
    // run), what the user sees.
    const std::tuple<std::string, int, std::string> cases[] = {
        {httpResponse("200 OK", "Stored as report 31."), 0, kStatusDelivered},
        {httpResponse("200 OK", "1"), 1, kStatusDelivered},
        {httpResponse("200 OK", "1"), kMaxReportRuns, notDelivered},
        {httpResponse("200 OK", ""), 0, notDelivered},
        {httpResponse("500 Server Error", "Error 1"), 0, notDelivered},
        {"", 0, notDelivered}};
    for (const auto& [answer, failingGatherings, shown] : cases) {
        LoopbackHttpServer server(answer.empty() ? test::noAnswer() : test::rawAnswer(answer));
        int gathered = 0;
        const auto diagnostics = [&gathered, failing = failingGatherings] {
            if (++gathered <= failing) {
                throw std::runtime_error("the gathering fails");
            }
            return DiagnosticsInputs{};
        };
        EXPECT_EQ(runDialog(server.url(kPath), {diagnostics, [] { return std::string("T"); }}),
                  shown)
            << answer;
        const bool everyRunFails = failingGatherings == kMaxReportRuns;
        EXPECT_EQ(gathered, everyRunFails ? kMaxReportRuns : failingGatherings + 1) << answer;
        EXPECT_EQ(server.requests().size(), everyRunFails ? 0u : 1u) << "one run, one post";
    }
}

// How wide the drawn text of `label` is, in pixels: from the first to the last column that is not
// the label's background.
int inkedWidth(QWidget& label) {
    const QImage picture = label.grab().toImage();
    const QColor background = picture.pixelColor(picture.width() - 1, picture.height() - 1);
    int first = picture.width();
    int last = -1;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if (picture.pixelColor(x, y) != background) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
        }
    }
    return last - first + 1;
}

using ErrorDialogWindow = test::WhiteLabelTest;

// Markup in a description or in a re-branded text is drawn as written (as rich text it would be
// narrower than its own characters), and a description of any length keeps the window's one
// size, with the status line and Close inside it.
TEST_F(ErrorDialogWindow, ShowsEveryTextAsTextInAWindowOfOneSize) {
    writeMappings("FTXT_Sending Error Report = <i>Acme</i> report\n");
    test::qtTestApplication();
    const test::ProxyFreeEnvironment environment;
    LoopbackHttpServer server(test::rawAnswer(httpResponse("200 OK", "1")));
    const auto shown = [&](const std::string& description) {
        auto form = std::make_unique<FrmError>(ErrorInfo{}, ReportSources{},
                                               ReportSettings{server.url(kPath), {}, {}});
        form->setErrorText(description);
        form->layout()->activate();
        return form;
    };
    const std::string markup = "Unexpected <b>Row</b> element";
    const std::string longText = "The page says <h1>Error</h1>: " + std::string(20'000, 'x');
    const auto small = shown(markup);
    const auto large = shown(longText);
    EXPECT_EQ(large->size(), small->size());
    for (const char* name : {"lblStatus", "cmdOK"}) {
        const auto* control = large->findChild<QWidget*>(QString::fromUtf8(name));
        EXPECT_TRUE(large->rect().contains(control->geometry())) << name;
    }
    auto* error = small->findChild<QLabel*>(QStringLiteral("lblError"));
    auto* status = small->findChild<QLabel*>(QStringLiteral("lblStatus"));
    EXPECT_EQ(status->text().toStdString(), "<i>Acme</i> report");
    for (QLabel* label : {error, status}) {
        EXPECT_GT(inkedWidth(*label), 0.9 * label->fontMetrics().horizontalAdvance(label->text()))
            << label->text().toStdString();
    }
}

}  // namespace
}  // namespace kx::errhandler
