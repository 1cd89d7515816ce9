#include "launcher/update/install_run.h"

#include <sys/stat.h>

#include <limits>
#include <optional>
#include <string>

#include "launcher/crash/crash_support.h"
#include "launcher/crash/trap.h"
#include "launcher/startup/launcher_state.h"
#include "launcher/startup/registry_access.h"
#include "launcher/update/application_start.h"
#include "launcher/update/do_install_routine.h"
#include "launcher/update/download_attempts.h"
#include "launcher/update/file_versions.h"
#include "launcher/update/install_messages.h"
#include "launcher/update/install_routines.h"
#include "launcher/update/install_row.h"
#include "launcher/update/install_time_stamps.h"
#include "platform/files/sha256_file.h"
#include "platform/runtime/message_box.h"
#include "platform/runtime/run_time_error.h"
#include "platform/runtime/vb_convert.h"
#include "platform/runtime/vb_strings.h"
#include "platform/text/path_text.h"

namespace kx::launcher {

using crash::Frame;
using crash::trapped;

namespace {

constexpr float kTotalBarTwips = 6375;

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
    removeUnusedDownloadParts(w);
    closeWindow(w);
}

void countUpdate() {
    std::int16_t& count = Module1().mNumUpdates;
    if (count == std::numeric_limits<std::int16_t>::max()) {
        raiseError(vberr::kOverflow);
    }
    ++count;
}

// The SHA-256 of what the current row's target holds, read once before its update for both uses:
// whether it already is the row's content, and which patch starts from it; and to tell whether a
// target without a readable version is current. Only a regular file is
// read (a pipe put there would block the run), and only for a row that gives its own digest.
std::optional<std::string> heldDigest(const InstallRow& row) {
    const std::string& target = Module1().FileToWrite;
    struct stat info {};
    if (row.digest.value_or("").empty() || ::lstat(target.c_str(), &info) != 0 ||
        !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    return files::sha256FileHex(target);
}

// Whether the current row's target already is the row's file: its SHA-256 is the row's digest.
bool holdsRowContent(const InstallRow& row) {
    return row.digest && heldDigest(row) == *row.digest;
}

// The local version of the current row (steps of the version lookup and the font rule). A version
// that does not read counts as none, so the file is installed; but a target whose own version
// does not read and whose content is the row's counts as current, or it would be fetched again
// at every start. A component whose registration is pending counts as having none.
std::string localVersionOf(const InstallRow& row) {
    const Module1State& m = Module1();
    std::string version;
    bool ownVersion = false;
    if (!Trim(row.altCheckRegValue).empty()) {
        version = GetRegValueHKLM(row.altCheck, row.altCheckRegValue);
    } else if (!Trim(row.altCheck).empty()) {
        version = GetFileVersion(expandAltCheckTokens(row.altCheck, m));
    } else {
        version = GetFileVersion(m.FileToWrite);
        ownVersion = true;
    }
    if (!isReadableVersion(version)) {
        version = ownVersion && holdsRowContent(row) ? m.ServerFileVersion : "";
    }
    if (row.installType == 1 && isRegistrationPending(m.FileToWrite)) {
        version.clear();
    }
    if (UCase(row.installLocation) == "FONTSDIR") {
        struct stat info {};
        // A font file whose length cannot be read counts as absent.
        if (m.mIsSharedEnvironment || ::stat(m.FileToWrite.c_str(), &info) == 0) {
            version = m.ServerFileVersion;
        }
    }
    return version;
}

// A row whose file cannot be fetched or placed safely: a FileName that is no plain file name, a
// SHA256 cell that is no digest, or a server version that does not read.
bool isUnusableFileRow(const InstallRow& row) {
    return !isPlainFileName(row.fileName) || !row.digest || !isReadableVersion(row.fileVersion);
}

void reportUnusableRow(InstallWindow& w, const InstallRow& row) {
    w.fileFailed = true;
    MsgBox(kDownloadErrorPrefix + Module1().m_DownloadLocation + row.downloadLocation,
           vbmsg::kOKOnly, crash::kReportProjectName);
}

// One ordinary row; false when the run must stop (rights error).
bool processFileRow(InstallWindow& w, const InstallRow& row, Frame& frame) {
    Module1State& m = Module1();
    frame.line(80);
    m.FileNameToWrite = row.fileName;
    m.FileInstallType = row.installType;
    m.ServerFileVersion = row.fileVersion;
    m.FileVersion = localVersionOf(row);
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
    const std::optional<std::string> held = heldDigest(row);
    if (!InstallFromTarget(w, row.digest.value_or(""), held)) {
        downloadAndInstall(w, row, held);
    }
    return true;
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
    InstallRowReader rows(list);
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
        const InstallRow row = rows.read();
        m.m_IsFont = false;
        const TargetFolder target = targetFolderOf(row.installLocation, m);
        m.m_IsFont = target.isFont;
        m.FileToWrite = joinPath(target.folder, row.fileName);
        frame.line(70);
        if (row.startRow) {
            frame.line(75);
            showStartRowNotice();
            // The start row is never fetched: only whether it names a file in its folder counts.
            if (isPathInsideFolder(row.fileName)) {
                startApplication(frame, start);
            } else {
                MsgBox(kStartErrorPrefix + m.FileToWrite, vbmsg::kOKOnly,
                       crash::kReportProjectName);
            }
        } else if (isUnusableFileRow(row)) {
            reportUnusableRow(w, row);
        } else if (!processFileRow(w, row, frame)) {
            return;
        }
        frame.line(110);
        w.pacedRefresh();
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
        window.keptParts.clear();
        walkInstallList(window, frame, start);
    });
}

}  // namespace kx::launcher
