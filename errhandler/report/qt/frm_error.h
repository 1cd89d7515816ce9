#pragma once
// frmError, the error dialog: the only window of the library.
//
// It opens with its design-time texts (caption "Kestrix Error", the explanation, "Error Text",
// the status "Sending Error Report", a disabled Close button) in Tahoma, re-branded by the
// white-label overrides. Every label shows its text as plain text (markup such as "<b>" appears
// as written), also after re-branding. The window has one fixed size: the description wraps, at
// word boundaries or anywhere in a long word, and what does not fit its lines is cut, so that
// the status line and Close always stay in the window (the whole description is in the log and
// the report).
//
// Its timer tmrSteps (10 ms) runs the report (report_run.h) on a fresh transfer object with a
// 30-second time-out, unless a run is already in progress; the status reads "Sending data to
// support team..." meanwhile. Then:
//   delivered:     status "Transfer of data complete.", Close enabled, timer stopped;
//   not delivered: status "Internet Connection: Could not connect to send data.", timer stopped,
//                  Close enabled, and a message box (OK only, no icon, titled "ZNErrHandler")
//                  with the three sentences of kNotDeliveredMessage.
// A run that fails with an exception ends its tick silently and leaves the timer running, so the
// next tick tries the whole report again, up to kMaxReportRuns runs; the last failed run ends it
// as not delivered. The runs share one report id. Close ends the process at once with exit code
// 1; the window's own close command (not Esc) closes the dialog and returns from exec().

#include <QDialog>
#include <QTimer>
#include <string>

#include "errhandler/report/error_record.h"
#include "errhandler/report/report_run.h"
#include "platform/runtime/dispatch.h"

class QFrame;
class QLabel;
class QPushButton;

namespace kx::errhandler {

class FrmError final : public QDialog {
  public:
    // Needs a QApplication. `record` is what the report sends.
    FrmError(ErrorInfo record, ReportSources sources, ReportSettings settings);

    // Sets lblError, before the dialog is shown.
    void setErrorText(const std::string& description);

    // The server's answer to the last post ("" before one, or after a failed one).
    const std::string& answer() const { return answer_; }

    // The form body of `PItems`, by the transfer engine's own rule (the sequence does not use it).
    static std::string MyPostData(const Collection& PItems);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void buildControls();
    void tmrSteps_Timer();
    void cmdOK_Click();
    void runReportSequence();
    void setStatus(const char* text);
    void endNotDelivered();

    ErrorInfo record_;
    ReportSources sources_;
    ReportSettings settings_;
    ReportIdentity identity_ = ReportIdentity::fresh();
    std::string answer_;
    bool runInProgress_ = false;
    int failedRuns_ = 0;

    QLabel* lblThereWas_ = nullptr;
    QFrame* Line1_ = nullptr;
    QLabel* lblError_ = nullptr;
    QLabel* lblStatus_ = nullptr;
    QPushButton* cmdOK_ = nullptr;
    QTimer tmrSteps_;
};

}  // namespace kx::errhandler
