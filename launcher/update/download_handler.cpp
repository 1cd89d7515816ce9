#include "launcher/update/download_handler.h"

#include <algorithm>
#include <ctime>

#include "launcher/crash/crash_support.h"
#include "launcher/crash/trap.h"
#include "launcher/startup/launcher_state.h"
#include "launcher/update/do_install_routine.h"
#include "launcher/update/download_rules.h"
#include "launcher/update/install_messages.h"
#include "platform/curl/http_status_line.h"
#include "platform/files/streaming_file.h"
#include "platform/runtime/message_box.h"
#include "platform/runtime/run_time_error.h"
#include "platform/runtime/vb_convert.h"
#include "platform/runtime/vb_strings.h"
#include "platform/text/path_text.h"

namespace kx::launcher {

using crash::Frame;
using crash::trapped;

namespace {

// The old control's chunk: what the crash dump shows of the latest read.
constexpr std::size_t kDumpedChunkBytes = 2048;
constexpr float kCurrentBarTwips = 4335;

// The bytes of the latest read as the crash dump shows them: a byte array (of its first
// kDumpedChunkBytes), never sized before the first read.
struct ChunkBytes {
    std::vector<std::uint8_t> bytes;
    bool sized = false;
};

Variant toVariant(const ChunkBytes& chunk) {
    if (!chunk.sized) {
        return Variant(SafeArray());
    }
    const auto shown = static_cast<std::ptrdiff_t>(std::min(chunk.bytes.size(), kDumpedChunkBytes));
    std::vector<Variant> values(chunk.bytes.begin(), chunk.bytes.begin() + shown);
    return Variant(SafeArray::fromVector(std::move(values)));
}

[[noreturn]] void raiseFileError(const std::string& path) {
    raiseError(vberr::kPathFileAccessError, "Inet1_StateChanged",
               "Path/File access error: " + path);
}

void reportFailure(InstallWindow& w, const std::string& text) {
    if (w.patch) {
        w.patch->failure = text;
        return;
    }
    w.fileFailed = true;
    MsgBox(text, vbmsg::kOKOnly, crash::kReportProjectName);
}

std::string downloadErrorText(const InstallWindow& w) {
    return kDownloadErrorPrefix + w.Inet1.URL();
}

// The announced length: Content-Length as a whole number, or -1 when it is missing or unusable.
std::int64_t announcedLength(const InstallWindow& w) {
    const std::string text = Trim(w.Inet1.GetHeader("Content-length"));
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
        text.size() > 18) {
        return -1;
    }
    return std::stoll(text);
}

void showProgress(InstallWindow& w, std::int64_t received, std::int64_t announced) {
    if (announced > 0) {
        w.view.setBarWidth(
            Control::prgCurrent,
            static_cast<float>(received) / static_cast<float>(announced) * kCurrentBarTwips);
    }
    w.view.setText(Control::lblBytes, bytesCaption(received, announced < 0 ? received : announced));
}

// Where the body of a whole file goes when it is not kept as a part: the download file, or the
// patch's file.
std::string wholeBodyPath(const InstallWindow& w) {
    return w.patch ? w.patch->file : downloadFilePath();
}

// A failure that may pass is tried again by the install run; reported once no attempt is left.
// A patch that failed for good is not tried again.
void failTransiently(InstallWindow& w, std::optional<std::chrono::seconds> serverWish = {}) {
    if (w.patch && !w.patch->failure.empty()) {
        return;
    }
    if (!w.download.retryLater(serverWish)) {
        reportFailure(w, downloadErrorText(w));
    }
}

// Writes the body into `target`; returns whether it arrived whole. Progress counts the bytes of
// the whole file, those written before this answer included.
bool receiveBody(InstallWindow& w, Frame& frame, const CurrentDownload::BodyFile& target,
                 ChunkBytes& vtData, std::int64_t& BCt, std::int64_t TotSize) {
    frame.line(40);
    using Start = files::StreamingFile::Start;
    files::StreamingFile file(target.path, target.continued ? Start::Continue : Start::Empty);
    if (!file.valid()) {
        raiseFileError(target.path);
    }
    const std::int64_t whole = target.total >= 0 ? target.total : TotSize;
    frame.line(50);
    w.Inet1.GetChunk(vtData.bytes, kDownloadReadBytes, inet::icByteArray);
    vtData.sized = true;
    BCt = static_cast<std::int64_t>(vtData.bytes.size());
    while (!vtData.bytes.empty()) {
        frame.line(60);
        if (w.patch && target.offset + BCt > w.patch->size) {
            reportFailure(w, w.Inet1.URL() + " is longer than the patch the list offers");
            return false;
        }
        if (!file.write(vtData.bytes.data(), vtData.bytes.size())) {
            raiseFileError(target.path);
        }
        if (w.progressPacer.due()) {
            showProgress(w, target.offset + BCt, whole);
            w.view.DoEvents();
        }
        w.Inet1.GetChunk(vtData.bytes, kDownloadReadBytes, inet::icByteArray);
        BCt += static_cast<std::int64_t>(vtData.bytes.size());
    }
    frame.line(70);
    if (!file.close()) {
        raiseFileError(target.path);
    }
    return w.Inet1.ResponseCode() == 0 && (TotSize < 0 || BCt == TotSize);
}

// Installs the whole file: the part handed over as the download file first, when the body went
// into one. A part that the placement could not put in place is kept for the next start.
// A patch is only received here: the install run applies it.
void install(InstallWindow& w, Frame& frame, bool fromPart) {
    frame.line(75);
    if (fromPart && !w.download.handOver(wholeBodyPath(w))) {
        raiseFileError(wholeBodyPath(w));
    }
    if (w.patch) {
        w.patch->arrived = true;
        return;
    }
    frame.line(80);
    const bool restartBefore = Module1().NeedRestart;
    DoInstallRoutine(w);
    w.download.installed(Module1().NeedRestart && !restartBefore);
}

// A 2xx answer: its body, into the download file or the row's part.
void receiveFile(InstallWindow& w, Frame& frame, std::int32_t status, ChunkBytes& vtData,
                 std::int64_t& BCt, std::int64_t& TotSize) {
    frame.line(30);
    TotSize = announcedLength(w);
    const std::optional<CurrentDownload::BodyFile> target = w.download.bodyFile(
        status, w.Inet1.GetHeader("Content-Range"), TotSize, w.Inet1.GetHeader("ETag"),
        w.Inet1.GetHeader("Last-Modified"), wholeBodyPath(w));
    if (!target) {
        if (w.download.next() != CurrentDownload::Next::StartOver) {
            reportFailure(w, downloadErrorText(w));
        }
    } else if (receiveBody(w, frame, *target, vtData, BCt, TotSize)) {
        install(w, frame, target->isPart);
    } else {
        failTransiently(w);
    }
}

void responseCompleted(InstallWindow& w, Frame& frame, ChunkBytes& vtData, std::int64_t& BCt,
                       std::int64_t& TotSize) {
    frame.line(10);
    const std::string headers = w.Inet1.GetHeader();
    const std::int32_t status = curl::statusCodeOf(headers);
    if (InStr(headers, "404 Object") > 1 || status == 404) {
        reportFailure(w, downloadErrorText(w) + kNotFoundLines);
    } else if (isTransientStatus(status)) {
        failTransiently(w, retryAfterOf(w.Inet1.GetHeader("Retry-After"), std::time(nullptr)));
    } else if (status == 416 && w.download.offset() > 0) {
        // The rest asked for is empty: the part holds the whole file, or it is asked for anew.
        if (w.download.partIsWhole()) {
            install(w, frame, true);
        } else if (!w.download.startOver()) {
            reportFailure(w, downloadErrorText(w));
        }
    } else if (status < 200 || status > 299) {
        reportFailure(w, downloadErrorText(w));
    } else {
        receiveFile(w, frame, status, vtData, BCt, TotSize);
    }
    frame.line(90);
    w.view.setEnabled(Control::tmrComInstall, true);
}

}  // namespace

std::string downloadFilePath() {
    const Module1State& m = Module1();
    return joinPath(m.TempDir, m.FileNameToWrite) + (m.m_isCompressed ? ".cmp" : "");
}

void Inet1_StateChanged(InstallWindow& window, std::int16_t State) {
    ChunkBytes vtData;
    std::int32_t cIncr = 0;
    std::int64_t TotSize = 0;
    std::int64_t BCt = 0;
    Frame frame("frmLogin", "Inet1_StateChanged");
    frame.local("vtData", vtData)
        .local("cIncr", cIncr)
        .local("TotSize", TotSize)
        .local("BCt", BCt)
        .param("State", State);
    trapped(frame, [&] {
        if (State == inet::state::icResponseCompleted) {
            responseCompleted(window, frame, vtData, BCt, TotSize);
        } else if (State == inet::state::icError) {
            frame.line(100);
            if (inet::isTransientFailure(window.Inet1.ResponseCode())) {
                failTransiently(window);
            } else {
                reportFailure(window, downloadErrorText(window));
            }
        }
    });
}

}  // namespace kx::launcher
