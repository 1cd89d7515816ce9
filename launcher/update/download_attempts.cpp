#include "launcher/update/download_attempts.h"

#include <unistd.h>

#include <thread>

#include "launcher/startup/launcher_state.h"
#include "launcher/update/do_install_routine.h"
#include "launcher/update/download_rules.h"
#include "launcher/update/install_messages.h"
#include "platform/files/download_part.h"
#include "platform/files/file_patch.h"
#include "platform/files/patch_offers.h"
#include "platform/files/sha256_file.h"
#include "platform/runtime/debug_log.h"
#include "platform/text/path_text.h"

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

// Downloads `url` into the current download, trying again after failures that may pass, until
// the file was handed on or its failure reported.
void runAttempts(InstallWindow& w, const InstallRow& row, const std::string& url) {
    Module1State& m = Module1();
    CurrentDownload& download = w.download;
    download.beginRow(m.TempDir, row.fileName, w.expectedDigest, url, m.ServerFileVersion);
    for (int failures = 0;;) {
        const std::string rangeLines = download.prepareAttempt(failures == kDownloadRetries);
        // The transfer digests a whole body as it arrives; a continued one is read back instead.
        attempt(w, url, rangeLines,
                !w.expectedDigest.empty() && !m.m_isCompressed && rangeLines.empty());
        if (download.next() == CurrentDownload::Next::TryAgain) {
            waitToTryAgain(w, row, ++failures);
        } else if (download.next() == CurrentDownload::Next::Finish) {
            break;
        }
    }
}

// The patch the row offers from the file the target holds now (its SHA-256 `held`), if any. An
// offer cell that does not read offers none.
std::optional<files::PatchOffer> matchingPatch(const InstallRow& row,
                                               const std::optional<std::string>& held) {
    if (row.patches.empty() || row.digest.value_or("").empty()) {
        return std::nullopt;
    }
    const auto offers = files::parsePatchesCell(row.patches);
    if (!offers) {
        debugLog("the patches offered for " + row.fileName +
                 " do not read; it is downloaded whole");
        return std::nullopt;
    }
    if (offers->empty()) {
        return std::nullopt;
    }
    for (const files::PatchOffer& offer : *offers) {
        if (held && offer.sourceSha256 == *held) {
            return offer;
        }
    }
    debugLog("no patch for " + row.fileName + " starts from the file this machine holds");
    return std::nullopt;
}

// Downloads the patch and applies it to the target's current file; returns "" once the result
// went to installation, as a downloaded file would, else why the patch was no use.
std::string installFromPatch(InstallWindow& w, const InstallRow& row,
                             const files::PatchOffer& offer) {
    Module1State& m = Module1();
    const std::string patchFile = joinPath(m.TempDir, m.FileNameToWrite + ".kxpatch");
    const std::string resultFile = joinPath(m.TempDir, m.FileNameToWrite);
    m.m_isCompressed = false;
    w.expectedDigest = offer.sha256;
    w.patch =
        InstallWindow::PatchDownload{patchFile, static_cast<std::int64_t>(offer.size), false, {}};
    runAttempts(w, row, m.m_DownloadLocation + offer.location);
    const InstallWindow::PatchDownload patch = *w.patch;
    w.patch.reset();
    w.download.installed(false);
    if (!patch.arrived) {
        ::unlink(patchFile.c_str());
        return patch.failure.empty() ? "the patch did not arrive" : patch.failure;
    }
    if (files::sha256FileHex(patchFile) != offer.sha256) {
        ::unlink(patchFile.c_str());
        return "the patch is not the one the list offers";
    }
    const files::AppliedPatch applied = files::applyPatch(
        m.FileToWrite, patchFile, resultFile, std::uint64_t{1} << files::kMaxPatchWindowLog);
    ::unlink(patchFile.c_str());
    if (!applied.failure.empty()) {
        return applied.failure;
    }
    if (applied.sha256 != *row.digest) {
        ::unlink(resultFile.c_str());
        return "the patched file is not the one the list gives";
    }
    w.expectedDigest = applied.sha256;
    w.madeDigest = applied.sha256;
    DoInstallRoutine(w);
    w.madeDigest.clear();
    return "";
}

}  // namespace

void downloadAndInstall(InstallWindow& w, const InstallRow& row,
                        const std::optional<std::string>& held) {
    Module1State& m = Module1();
    w.view.setText(Control::frameStatus, kDownloadingAndInstalling + row.description);
    w.view.Refresh();
    if (const auto offer = matchingPatch(row, held)) {
        const std::string failure = installFromPatch(w, row, *offer);
        if (failure.empty()) {
            return;
        }
        debugLog("the patch of " + row.fileName +
                 " was no use, the whole file follows: " + failure);
    }
    m.m_isCompressed = row.compressed;
    w.expectedDigest = row.digest.value_or("");
    runAttempts(w, row, m.m_DownloadLocation + row.downloadLocation);
    if (const std::string part = w.download.leftPart(); !part.empty()) {
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
