#pragma once
// frmError, the error dialog: the only window of the library.
//
// It opens with its design-time texts (caption "Kestrix Error", the explanation, "Error Text",
// the status "Sending Error Report", a disabled Close button) in Tahoma, re-branded by the
// white-label overrides. Its timer tmrSteps (10 ms) runs the report (report_run.h) on a fresh
// transfer object with a 30-second time-out, unless a run is already in progress; the status
// reads "Sending data to support team..." meanwhile. Then:
//   delivered:     status "Transfer of data complete.", Close enabled, timer stopped;
//   not delivered: status "Internet Connection: Could not connect to send data.", timer stopped,
//                  Close enabled, and a message box (OK only, no icon, titled "ZNErrHandler")
//                  with the three sentences of kNotDeliveredMessage.
// A run that fails with an exception ends its tick silently and leaves the timer running, so the
// next tick tries the whole report again. Close ends the process at once with exit code 1; the
// window's own close command (not Esc) closes the dialog and returns from exec().

#include <QDialog>
#include <QTimer>
#include <string>

#include "dispatch.h"
#include "error_record.h"
#include "report_run.h"

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
    void showNotDeliveredBox();

    ErrorInfo record_;
    ReportSources sources_;
    ReportSettings settings_;
    std::string answer_;
    bool runInProgress_ = false;

    QLabel* lblThereWas_ = nullptr;
    QFrame* Line1_ = nullptr;
    QLabel* lblError_ = nullptr;
    QLabel* lblStatus_ = nullptr;
    QPushButton* cmdOK_ = nullptr;
    QTimer tmrSteps_;
};

}  // namespace kx::errhandler
