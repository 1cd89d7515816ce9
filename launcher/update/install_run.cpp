#include "install_run.h"

#include <sys/stat.h>

#include <limits>

#include "application_start.h"
#include "crash_support.h"
#include "file_versions.h"
#include "install_messages.h"
#include "install_row.h"
#include "install_time_stamps.h"
#include "launcher_state.h"
#include "message_box.h"
#include "registry_access.h"
#include "rowset_text.h"
#include "run_time_error.h"
#include "trap.h"
#include "vb_convert.h"
#include "vb_strings.h"

namespace kx::launcher {

using crash::Frame;
using crash::trapped;

namespace {

constexpr float kTotalBarTwips = 6375;
constexpr double kStartRowSequence = 9999;
constexpr const char* kDigestColumn = "SHA256";

// Clears the run's flag however the tick ends.
class RunScope {
  public:
    explicit RunScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~RunScope() { flag_ = false; }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

  private:
    bool& flag_;
};

std::string rowText(rowset::Recordset& list, const char* column) {
    return fieldText(list.Fields(column).Value());
}

bool hasColumn(const rowset::Recordset& list, const char* column) {
    for (const auto& field : list.fieldInfos()) {
        if (UCase(field.name) == column) {
            return true;
        }
    }
    return false;
}

void closeWindow(InstallWindow& w) {
    w.form.Unload(unloadmode::kFormCode);
}

void showInstallError() {
    const Module1State& m = Module1();
    MsgBox(std::string(m.mIsSharedEnvironment ? kInstallErrorShared : kInstallErrorOwnMachine) +
               kWillNowClose,
           vbmsg::kOKOnly, kInstallErrorTitle);
}

void endOfList(InstallWindow& w) {
    const Module1State& m = Module1();
    w.view.setText(Control::lblMessage, m.mLoginDesc + kInitializationComplete);
    w.view.setText(Control::frameStatus, "");
    w.view.Refresh();
    if (!m.m_SkipUpdateCheck && !m.mCountUpdates && !w.fileFailed) {
        WriteInstallTimeStamp();
    }
    closeWindow(w);
}

void countUpdate() {
    std::int16_t& count = Module1().mNumUpdates;
    if (count == std::numeric_limits<std::int16_t>::max()) {
        raiseError(vberr::kOverflow);
    }
    ++count;
}

// The local version of the current row (steps of the version lookup and the font rule).
std::string localVersionOf(rowset::Recordset& list) {
    const Module1State& m = Module1();
    const std::string altCheckRegValue = Trim(rowText(list, "AltCheckRegValue"));
    const std::string altCheck = rowText(list, "AltCheck");
    std::string version;
    if (!altCheckRegValue.empty()) {
        version = GetRegValueHKLM(altCheck, rowText(list, "AltCheckRegValue"));
    } else if (!Trim(altCheck).empty()) {
        version = GetFileVersion(expandAltCheckTokens(altCheck, m));
    } else {
        version = GetFileVersion(m.FileToWrite);
    }
    if (UCase(rowText(list, "InstallLocation")) == "FONTSDIR") {
        struct stat info {};
        // A font file whose length cannot be read counts as absent.
        if (m.mIsSharedEnvironment || ::stat(m.FileToWrite.c_str(), &info) == 0) {
            version = m.ServerFileVersion;
        }
    }
    return version;
}

void reportUnusableRow(InstallWindow& w, rowset::Recordset& list) {
    w.fileFailed = true;
    MsgBox(kDownloadErrorPrefix + Module1().m_DownloadLocation + rowText(list, "DownloadLocation"),
           vbmsg::kOKOnly, crash::kReportProjectName);
}

// Downloads the current row's file and waits, with the window's events running, until the
// download's state event has installed it (or reported why not).
void downloadAndInstall(InstallWindow& w, rowset::Recordset& list) {
    Module1State& m = Module1();
    w.view.setText(Control::frameStatus, kDownloadingAndInstalling + rowText(list, "Description"));
    w.view.Refresh();
    const Variant compressed = list.Fields("IsCompressed").Value();
    m.m_isCompressed = !(IsNumeric(compressed) && CDbl(compressed) == 0);
    w.Inet1.Execute(m.m_DownloadLocation + rowText(list, "DownloadLocation"), "GET", "",
                    "Proxy-Connection: Keep-Alive");
    while (w.Inet1.StillExecuting()) {
        w.view.DoEvents();
        w.Inet1.waitForProgress(std::chrono::milliseconds(16));
    }
}

// One ordinary row; false when the run must stop (rights error).
bool processFileRow(InstallWindow& w, rowset::Recordset& list, Frame& frame) {
    Module1State& m = Module1();
    frame.line(80);
    m.FileNameToWrite = rowText(list, "FileName");
    m.FileInstallType = CInt(list.Fields("InstallType").Value());
    m.ServerFileVersion = Trim(rowText(list, "FileVersion"));
    m.FileVersion = localVersionOf(list);
    frame.line(100);
    if (!DoesFileNeedUpdate(m.FileVersion, m.ServerFileVersion)) {
        if (!m.mCountUpdates) {
            w.view.setText(Control::frameStatus, kProcessing);
        }
        return true;
    }
    if (m.mCountUpdates) {
        countUpdate();
        w.view.setText(Control::frameStatus, updatesFoundCaption(m.mNumUpdates));
        return true;
    }
    if (m.mIsUpdateAdmin) {
        countUpdate();
    }
    if (!modRegistry().HasAdmin) {
        MsgBox(kRightsError, vbmsg::kOKOnly + vbmsg::kCritical, kRightsErrorTitle);
        return false;
    }
    frame.line(105);
    downloadAndInstall(w, list);
    return true;
}

// Reads the row's digest into the window; false when the cell is not usable.
bool takeExpectedDigest(InstallWindow& w, rowset::Recordset& list, bool listHasDigests) {
    const auto digest = listHasDigests ? digestOfCell(Trim(rowText(list, kDigestColumn)))
                                       : std::optional<std::string>("");
    w.expectedDigest = digest.value_or("");
    return digest.has_value();
}

void showStartRowNotice() {
    const Module1State& m = Module1();
    if (m.mNumUpdates <= 0) {
        return;
    }
    if (m.mIsUpdateAdmin) {
        MsgBox(updateSummary(m.mLoginDesc, m.mNumUpdates), vbmsg::kOKOnly, "");
    } else if (m.mWarnIfUpdates == "W" || m.mWarnIfUpdates == "A") {
        MsgBox(updateWarning(m.mNumUpdates, m.mWarnIfUpdates), vbmsg::kOKOnly, "");
    }
}

// Walks the list from the current row; returns when the run ends.
void walkInstallList(InstallWindow& w, Frame& frame, ApplicationStartLocals& start) {
    Module1State& m = Module1();
    rowset::Recordset& list = requireObject(m.rsInstallList);
    const bool listHasDigests = hasColumn(list, kDigestColumn);
    for (;;) {
        frame.line(20);
        w.view.setBarWidth(Control::prgCurrent, 0);
        frame.line(30);
        if (m.NeedRestart) {
            showInstallError();
            closeWindow(w);
            return;
        }
        frame.line(40);
        if (list.isEOF()) {
            endOfList(w);
            return;
        }
        frame.line(50);
        w.view.setBarWidth(Control::prgTotal, kTotalBarTwips /
                                                  static_cast<float>(list.RecordCount()) *
                                                  static_cast<float>(list.AbsolutePosition()));
        frame.line(60);
        m.m_IsFont = false;
        const TargetFolder target = targetFolderOf(rowText(list, "InstallLocation"), m);
        m.m_IsFont = target.isFont;
        m.FileToWrite = target.folder + "/" + rowText(list, "FileName");
        frame.line(70);
        if (!isPlainFileName(rowText(list, "FileName")) ||
            !takeExpectedDigest(w, list, listHasDigests)) {
            reportUnusableRow(w, list);
        } else if (CDbl(list.Fields("SequenceID").Value()) >= kStartRowSequence) {
            frame.line(75);
            showStartRowNotice();
            startApplication(frame, start);
        } else if (!processFileRow(w, list, frame)) {
            return;
        }
        frame.line(110);
        w.pacedRefresh(false);
        list.MoveNext();
    }
}

}  // namespace

void tmrComInstall_Timer(InstallWindow& window) {
    ApplicationStartLocals start;
    std::string tmpStr;
    Frame frame("frmLogin", "tmrComInstall_Timer");
    frame.local("mResult", start.mResult)
        .local("mResultString", start.mResultString)
        .local("mParams", start.mParams)
        .local("tmpStr", tmpStr);
    trapped(frame, [&] {
        frame.line(10);
        window.view.setEnabled(Control::tmrComInstall, false);
        if (window.runInProgress) {
            return;
        }
        const RunScope run(window.runInProgress);
        walkInstallList(window, frame, start);
    });
}

}  // namespace kx::launcher
