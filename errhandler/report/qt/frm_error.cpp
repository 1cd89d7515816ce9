#include "errhandler/report/qt/frm_error.h"

#include <unistd.h>

#include <QApplication>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <exception>

#include "errhandler/http/library_identity.h"
#include "errhandler/http/url_encode.h"
#include "errhandler/report/qt/fitted_label.h"
#include "errhandler/report/report_texts.h"
#include "errhandler/whitelabel/qt/qt_white_label.h"
#include "platform/runtime/debug_log.h"
#include "platform/runtime/message_box.h"
#include "platform/runtime/qt/qt_message_box.h"

namespace kx::errhandler {

namespace {

constexpr int kStepIntervalMs = 10;
constexpr int kTextWidth = 400;  // pixels; the window is as wide as its texts and margins
// Lines of text each label has room for: the window keeps one size whatever it is told to show.
constexpr int kExplanationLines = 3;
constexpr int kDescriptionLines = 8;
constexpr int kStatusLines = 2;
constexpr double kFontPointSize = 8.25;

// Wine's free Tahoma has Tahoma's metrics; its package installs it outside fontconfig's folders.
constexpr const char* kTahomaFallbackFiles[] = {"/usr/share/wine/fonts/tahoma.ttf",
                                                "/usr/share/wine/fonts/tahomabd.ttf"};

QString qText(const std::string& text) {
    return QString::fromStdString(text);
}

QString qText(const char* text) {
    return QString::fromUtf8(text);
}

// Tahoma where fontconfig has it, else the metric-compatible face when it is installed; without
// either, fontconfig's substitute for Tahoma.
QFont dialogFont() {
    static const bool prepared = [] {
        if (!QFontDatabase::hasFamily(QStringLiteral("Tahoma"))) {
            for (const char* file : kTahomaFallbackFiles) {
                QFontDatabase::addApplicationFont(qText(file));
            }
        }
        return true;
    }();
    (void)prepared;
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSizeF(kFontPointSize);
    return font;
}

QLabel* fittedLabel(const char* name, const char* text, int lines, QWidget* parent) {
    auto* label = new FittedLabel(qText(text), kTextWidth, lines, parent);
    label->setObjectName(qText(name));
    return label;
}

// Carriage returns, alone or before a line feed, as line breaks of the toolkit.
QString withLineBreaks(const std::string& text) {
    return qText(promptLines(text));
}

}  // namespace

FrmError::FrmError(ErrorInfo record, ReportSources sources, ReportSettings settings)
    : record_(std::move(record)), sources_(std::move(sources)), settings_(std::move(settings)) {
    buildControls();
    applyWhiteLabel(*this);
    tmrSteps_.setInterval(kStepIntervalMs);
    connect(&tmrSteps_, &QTimer::timeout, this, [this] { tmrSteps_Timer(); });
    tmrSteps_.start();
}

void FrmError::buildControls() {
    setObjectName(QStringLiteral("frmError"));
    setWindowTitle(qText(kDialogCaption));
    setFont(dialogFont());

    lblThereWas_ = fittedLabel("lblThereWas", kThereWasText, kExplanationLines, this);
    Line1_ = new QFrame(this);
    Line1_->setObjectName(QStringLiteral("Line1"));
    Line1_->setFrameShape(QFrame::HLine);
    Line1_->setFrameShadow(QFrame::Sunken);
    lblError_ = fittedLabel("lblError", kErrorTextDesign, kDescriptionLines, this);
    lblStatus_ = fittedLabel("lblStatus", kStatusBefore, kStatusLines, this);
    cmdOK_ = new QPushButton(qText(kCloseCaption), this);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdOK_->setEnabled(false);
    connect(cmdOK_, &QPushButton::clicked, this, [this] { cmdOK_Click(); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblThereWas_);
    layout->addWidget(Line1_);
    layout->addWidget(lblError_);
    layout->addWidget(lblStatus_);
    layout->addLayout(buttons);
    // One size, whatever the texts: every label has a fixed size.
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void FrmError::setErrorText(const std::string& description) {
    lblError_->setText(withLineBreaks(description));
}

std::string FrmError::MyPostData(const Collection& PItems) {
    return buildPostData(PItems);
}

void FrmError::keyPressEvent(QKeyEvent* event) {
    // The dialog has no cancel button: Esc must not close it and skip the report.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void FrmError::tmrSteps_Timer() {
    // Pending events run inside a run, and the timer stays on: a tick must not start a second one.
    if (runInProgress_) {
        return;
    }
    runInProgress_ = true;
    try {
        runReportSequence();
    } catch (const std::exception& failure) {
        // Ends the tick silently; the next tick starts the sequence again with a new transfer,
        // unless a report that fails on every run has had its last one.
        debugLog(std::string("the report run failed: ") + failure.what());
        if (++failedRuns_ == kMaxReportRuns) {
            endNotDelivered();
        }
    }
    runInProgress_ = false;
}

void FrmError::runReportSequence() {
    ReportRun run(record_, sources_, settings_, identity_);
    setStatus(kStatusSending);
    repaint();
    run.transfer().setTimeOut(kReportTimeOutSeconds);
    repaint();
    QCoreApplication::processEvents();
    answer_ = run.post();
    if (reportDelivered(answer_)) {
        setStatus(kStatusDelivered);
        cmdOK_->setEnabled(true);
        tmrSteps_.stop();
        return;
    }
    endNotDelivered();
}

void FrmError::setStatus(const char* text) {
    lblStatus_->setText(qText(text));
}

void FrmError::endNotDelivered() {
    setStatus(kStatusNotDelivered);
    tmrSteps_.stop();
    cmdOK_->setEnabled(true);
    showQtMessageBox(kNotDeliveredMessage, vbmsg::kOKOnly, kLibraryTitle);
}

void FrmError::cmdOK_Click() {
    tmrSteps_.stop();
    // The host ends here: nothing is unloaded or saved, and the caller never gets control back.
    _exit(1);
}

}  // namespace kx::errhandler
