// frmError on the offscreen platform: its report sequence against real servers on loopback, with
// the machine's diagnostics fixed so that only the sequence is under test.

#include "dialog_run.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "qt_test_application.h"
#include "raw_http_listener.h"
#include "report_texts.h"
#include "scoped_environment.h"

namespace kx::errhandler {
namespace {

using test::httpResponse;
using test::RawHttpListener;

ReportSources fixedSources() {
    return {[] { return DiagnosticsInputs{}; }, [] { return std::string("TOKEN"); }};
}

}  // namespace

// Loads the dialog for `record`, shows it and waits until its report has ended.
Outcome runDialog(const std::string& url, ReportSources sources, const ErrorInfo& record) {
    test::qtTestApplication();
    ReportSettings settings{url, {}};
    settings.transfer.connectTimeout = settings.transfer.stallTimeout = std::chrono::seconds(1);
    FrmError form(record, std::move(sources), settings);
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
    // A box comes up in the same tick that enables Close, and is answered inside it.
    EXPECT_TRUE(QTest::qWaitFor([&] { return close->isEnabled(); }, 10000));
    outcome.status = form.findChild<QLabel*>(QStringLiteral("lblStatus"))->text().toStdString();
    return outcome;
}

namespace {

Outcome runDialog(const std::string& url, ReportSources sources = fixedSources()) {
    return runDialog(url, std::move(sources),
                     ErrorInfo{"P", "1.2", "M", "R", 10, 5, "Oops", "ctx", "", "", ""});
}

const std::string kNotDeliveredBox =
    "ZNErrHandler|There was an error trying to send data to our support team.\n"
    "This could be caused by internet problems or machine specific problems.\n"
    "Try rebooting and/or check your internet connection.";

TEST(ErrorDialog, AnAnswerWithTheDigitOneAnywhereCountsAsDelivered) {
    test::ScopedEnvironment environment;
    environment.clearProxyVariables();
    const struct {
        const char* status;
        const char* body;
        bool delivered;
    } answers[] = {{"200 OK", "Stored as report 31.", true},
                   {"200 OK", "", false},
                   {"200 OK", "0", false},
                   {"500 Server Error", "Error 1", false}};
    for (const auto& answer : answers) {
        RawHttpListener server(httpResponse(answer.status, answer.body));
        const Outcome outcome = runDialog(server.url("/GenErrorReport.asp"));
        EXPECT_EQ(outcome.status, answer.delivered ? kStatusDelivered : kStatusNotDelivered);
        EXPECT_EQ(outcome.boxes, answer.delivered ? std::vector<std::string>{}
                                                  : std::vector<std::string>{kNotDeliveredBox});
        ASSERT_EQ(server.requests().size(), 1u) << answer.body;
        // The twelve fields, in order, in the form body.
        const std::string request = server.requests()[0];
        std::string names;
        for (std::size_t at = request.find("\r\n\r\n") + 3; at != std::string::npos;
             at = request.find('&', at + 1)) {
            names += request.substr(at + 1, request.find('=', at) - at - 1) + " ";
        }
        EXPECT_EQ(names,
                  "ProjectName ProjectVersion Module Routine LineNumber ErrorNumber "
                  "ErrorDescription Context Token AppPath AppName ParentProcess ");
    }
}

TEST(ErrorDialog, NoServerAndASilentServerBothEndUndeliveredWithOneBox) {
    test::ScopedEnvironment environment;
    environment.clearProxyVariables();
    const test::RefusingPort refusing;
    RawHttpListener silent("", RawHttpListener::Mode::NeverAnswer);
    for (const std::string& url :
         {"http://127.0.0.1:" + std::to_string(refusing.port()) + "/GenErrorReport.asp",
          silent.url("/GenErrorReport.asp")}) {
        const Outcome outcome = runDialog(url);
        EXPECT_EQ(outcome.status, kStatusNotDelivered) << url;
        EXPECT_EQ(outcome.boxes, std::vector<std::string>{kNotDeliveredBox}) << url;
    }
    EXPECT_EQ(silent.requests().size(), 1u);
}

TEST(ErrorDialog, ARunThatFailsStartsAgainAtTheNextTickWithANewTransfer) {
    test::ScopedEnvironment environment;
    environment.clearProxyVariables();
    RawHttpListener server(httpResponse("200 OK", "1"));
    int gathered = 0;
    ReportSources sources = fixedSources();
    sources.diagnostics = [&] {
        if (++gathered == 1) {
            throw std::runtime_error("the first gathering fails");
        }
        return DiagnosticsInputs{};
    };
    EXPECT_EQ(runDialog(server.url("/GenErrorReport.asp"), sources).status, kStatusDelivered);
    EXPECT_EQ(gathered, 2);
    EXPECT_EQ(server.requests().size(), 1u);
}

}  // namespace
}  // namespace kx::errhandler
