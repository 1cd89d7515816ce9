#include "launcher/update/do_install_routine.h"

#include <unistd.h>

#include "launcher/crash/crash_support.h"
#include "launcher/crash/trap.h"
#include "launcher/startup/fonts.h"
#include "launcher/startup/launcher_state.h"
#include "launcher/startup/registry_access.h"
#include "launcher/update/install_messages.h"
#include "launcher/update/install_routines.h"
#include "platform/files/sha256_file.h"
#include "platform/runtime/message_box.h"
#include "platform/text/path_text.h"

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

// InstallFile with the hourglass shown, then a font's registration.
void installInPlace(InstallWindow& w, Frame& frame, const std::string& source) {
    Module1State& m = Module1();
    frame.line(20);
    w.view.setMousePointer(MousePointer::Hourglass);
    w.view.Refresh();
    frame.line(30);
    // InstallFile leaves FileToWrite naming the side file of a type-5 install.
    const std::string target = m.FileToWrite;
    if (!InstallFile(source, m.FileInstallType, m.FileToWrite, m.ServerFileVersion,
                     w.form.environment())) {
        w.fileFailed = true;
    }
    frame.line(40);
    w.view.setMousePointer(MousePointer::Default);
    w.view.Refresh();
    frame.line(50);
    if (m.m_IsFont) {
        registerFont(target);
    }
}

}  // namespace

void DoInstallRoutine(InstallWindow& window) {
    Frame frame("frmLogin", "DoInstallRoutine");
    trapped(frame, [&] {
        Module1State& m = Module1();
        const std::string source = joinPath(m.TempDir, m.FileNameToWrite);
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
        installInPlace(window, frame, source);
    });
}

bool InstallFromTarget(InstallWindow& window, const std::string& digest,
                       const std::optional<std::string>& held) {
    Frame frame("frmLogin", "InstallFromTarget");
    frame.param("digest", digest);
    return trapped(frame, [&] {
        Module1State& m = Module1();
        const std::int16_t type = m.FileInstallType;
        frame.line(10);
        if (digest.empty() || (type != 1 && type != 2 && type != 5) || held != digest) {
            return false;
        }
        frame.line(20);
        // A second name in TempDir, as a download would have; placing it over the target is then
        // a no-op, and the rest (side file, registration, font) runs as after a download.
        const std::string source = joinPath(m.TempDir, m.FileNameToWrite);
        RemoveFile(source);
        if (::link(m.FileToWrite.c_str(), source.c_str()) != 0) {
            return false;
        }
        frame.line(30);
        installInPlace(window, frame, source);
        return true;
    });
}

}  // namespace kx::launcher
