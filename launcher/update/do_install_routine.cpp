#include "do_install_routine.h"

#include "crash_support.h"
#include "fonts.h"
#include "install_messages.h"
#include "install_routines.h"
#include "launcher_state.h"
#include "message_box.h"
#include "registry_access.h"
#include "sha256_file.h"
#include "trap.h"

namespace kx::launcher {

using crash::Frame;
using crash::trapped;

namespace {

void rejectDownload(InstallWindow& w, const std::string& source) {
    RemoveFile(source);
    // Bytes kept from an earlier attempt may be what is wrong: then the file is downloaded once
    // more, in full, before it counts as failed.
    if (w.download.discard()) {
        return;
    }
    w.fileFailed = true;
    MsgBox(kDownloadErrorPrefix + w.Inet1.URL(), vbmsg::kOKOnly, crash::kReportProjectName);
}

// The digest of the file to install: the one taken as it was made from a patch, or the body's,
// which the transfer took as it arrived, unless the file was expanded from it.
std::string digestOf(const InstallWindow& w, const std::string& source) {
    if (!w.madeDigest.empty()) {
        return w.madeDigest;
    }
    const std::string bodyDigest = w.Inet1.BodyDigest();
    return !Module1().m_isCompressed && !bodyDigest.empty()
               ? bodyDigest
               : files::sha256FileHex(source).value_or("");
}

void registerFont(const std::string& fontFile) {
    const Module1State& m = Module1();
    // This system reports itself as of the NT family, whose key this is.
    WriteRegValueHKLM(kFontsKeyNt, kFontValuePrefix + m.FileNameToWrite, m.FileNameToWrite);
    AddFontResource(fontFile);
    refreshFontCache(m.FontsDir);
}

}  // namespace

void DoInstallRoutine(InstallWindow& window) {
    Frame frame("frmLogin", "DoInstallRoutine");
    trapped(frame, [&] {
        Module1State& m = Module1();
        const std::string source = m.TempDir + "/" + m.FileNameToWrite;
        frame.line(10);
        if (m.m_isCompressed && !DeCompressFile(source + ".cmp")) {
            rejectDownload(window, source);
            return;
        }
        frame.line(15);
        if (!window.expectedDigest.empty() && digestOf(window, source) != window.expectedDigest) {
            rejectDownload(window, source);
            return;
        }
        frame.line(20);
        window.view.setMousePointer(MousePointer::Hourglass);
        window.view.Refresh();
        frame.line(30);
        // InstallFile leaves FileToWrite naming the side file of a type-5 install.
        const std::string target = m.FileToWrite;
        if (!InstallFile(source, m.FileInstallType, m.FileToWrite, m.ServerFileVersion,
                         window.form.environment())) {
            window.fileFailed = true;
        }
        frame.line(40);
        window.view.setMousePointer(MousePointer::Default);
        window.view.Refresh();
        frame.line(50);
        if (m.m_IsFont) {
            registerFont(target);
        }
    });
}

}  // namespace kx::launcher
