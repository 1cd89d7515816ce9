#include "launcher/update/download_attempts.h"

#include <thread>

#include "launcher/startup/launcher_state.h"
#include "launcher/update/download_rules.h"
#include "launcher/update/install_messages.h"
#include "platform/files/download_part.h"

namespace kx::launcher {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kEventSlice = std::chrono::milliseconds(16);

// Runs the request and the window's events until the transfer and its state events are over.
void attempt(InstallWindow& w, const std::string& url, const std::string& rangeLines,
             bool digestBody) {
    w.Inet1.setDigestBody(digestBody);
    std::string headers = "Proxy-Connection: Keep-Alive";
    if (!rangeLines.empty()) {
        headers += "\r\n" + rangeLines;
    }
    w.Inet1.Execute(url, "GET", "", headers);
    while (w.Inet1.StillExecuting()) {
        w.view.DoEvents();
        w.Inet1.waitForProgress(kEventSlice);
    }
}

// The wait before retry `failures`, with the window live and saying why it waits.
void waitToTryAgain(InstallWindow& w, const InstallRow& row, int failures) {
    const auto until = Clock::now() + retryWait(failures, w.form.environment().downloadRetryWait,
                                                w.download.serverWish());
    w.view.setText(Control::frameStatus, tryingAgainCaption(failures, row.description));
    w.view.Refresh();
    for (auto now = Clock::now(); now < until; now = Clock::now()) {
        w.view.DoEvents();
        std::this_thread::sleep_for(std::min<Clock::duration>(kEventSlice, until - now));
    }
    w.view.setText(Control::frameStatus, kDownloadingAndInstalling + row.description);
    w.view.Refresh();
}

}  // namespace

void downloadAndInstall(InstallWindow& w, const InstallRow& row) {
    Module1State& m = Module1();
    w.view.setText(Control::frameStatus, kDownloadingAndInstalling + row.description);
    w.view.Refresh();
    m.m_isCompressed = row.compressed;
    w.expectedDigest = row.digest.value_or("");
    const std::string url = m.m_DownloadLocation + row.downloadLocation;
    CurrentDownload& download = w.download;
    download.beginRow(m.TempDir, row.fileName, w.expectedDigest, url, m.ServerFileVersion);
    for (int failures = 0;;) {
        const std::string rangeLines = download.prepareAttempt(failures == kDownloadRetries);
        // The transfer digests a whole body as it arrives; a continued one is read back instead.
        attempt(w, url, rangeLines,
                !w.expectedDigest.empty() && !row.compressed && rangeLines.empty());
        if (download.next() == CurrentDownload::Next::TryAgain) {
            waitToTryAgain(w, row, ++failures);
        } else if (download.next() == CurrentDownload::Next::Finish) {
            break;
        }
    }
    if (const std::string part = download.leftPart(); !part.empty()) {
        w.keptParts.insert(part);
    }
}

void removeUnusedDownloadParts(const InstallWindow& w) {
    const Module1State& m = Module1();
    // A run that only counted, or skipped the check, never looked at most rows' parts.
    if (!m.m_SkipUpdateCheck && !m.mCountUpdates) {
        files::removeDownloadParts(m.TempDir, w.keptParts);
    }
}

}  // namespace kx::launcher
