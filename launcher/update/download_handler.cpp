#include "download_handler.h"

#include "crash_support.h"
#include "do_install_routine.h"
#include "install_messages.h"
#include "launcher_state.h"
#include "message_box.h"
#include "run_time_error.h"
#include "streaming_file.h"
#include "trap.h"
#include "vb_convert.h"
#include "vb_strings.h"

namespace kx::launcher {

using crash::Frame;
using crash::trapped;

namespace {

constexpr std::int32_t kChunkSize = 2048;
constexpr float kCurrentBarTwips = 4335;

// The bytes of the latest chunk as the crash dump shows them: a byte array, never sized before
// the first chunk arrives.
struct ChunkBytes {
    std::vector<std::uint8_t> bytes;
    bool sized = false;
};

Variant toVariant(const ChunkBytes& chunk) {
    if (!chunk.sized) {
        return Variant(SafeArray());
    }
    std::vector<Variant> values(chunk.bytes.begin(), chunk.bytes.end());
    return Variant(SafeArray::fromVector(std::move(values)));
}

[[noreturn]] void raiseFileError(const std::string& path) {
    raiseError(vberr::kPathFileAccessError, "Inet1_StateChanged",
               "Path/File access error: " + path);
}

void reportFailure(InstallWindow& w, const std::string& text) {
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

// Writes the body into the download file; returns whether it arrived whole.
bool receiveBody(InstallWindow& w, Frame& frame, ChunkBytes& vtData, std::int64_t& BCt,
                 std::int64_t& TotSize) {
    frame.line(40);
    const std::string path = downloadFilePath();
    files::StreamingFile file(path);
    if (!file.valid()) {
        raiseFileError(path);
    }
    frame.line(50);
    w.Inet1.GetChunk(vtData.bytes, kChunkSize, inet::icByteArray);
    vtData.sized = true;
    BCt = static_cast<std::int64_t>(vtData.bytes.size());
    while (!vtData.bytes.empty()) {
        frame.line(60);
        if (!file.write(vtData.bytes.data(), vtData.bytes.size())) {
            raiseFileError(path);
        }
        if (w.progressPacer.due()) {
            showProgress(w, BCt, TotSize);
            w.view.DoEvents();
        }
        w.Inet1.GetChunk(vtData.bytes, kChunkSize, inet::icByteArray);
        BCt += static_cast<std::int64_t>(vtData.bytes.size());
    }
    frame.line(70);
    if (!file.close()) {
        raiseFileError(path);
    }
    return w.Inet1.ResponseCode() == 0 && (TotSize < 0 || BCt == TotSize);
}

void responseCompleted(InstallWindow& w, Frame& frame, ChunkBytes& vtData, std::int64_t& BCt,
                       std::int64_t& TotSize) {
    frame.line(10);
    const std::string headers = w.Inet1.GetHeader();
    const std::int32_t status = inet::httpStatusOf(headers);
    if (InStr(headers, "404 Object") > 1 || status == 404) {
        reportFailure(w, downloadErrorText(w) + kNotFoundLines);
    } else if (status < 200 || status > 299) {
        reportFailure(w, downloadErrorText(w));
    } else {
        frame.line(30);
        TotSize = announcedLength(w);
        if (receiveBody(w, frame, vtData, BCt, TotSize)) {
            frame.line(80);
            DoInstallRoutine(w);
        } else {
            reportFailure(w, downloadErrorText(w));
        }
    }
    frame.line(90);
    w.view.setEnabled(Control::tmrComInstall, true);
}

}  // namespace

std::string downloadFilePath() {
    const Module1State& m = Module1();
    return m.TempDir + "/" + m.FileNameToWrite + (m.m_isCompressed ? ".cmp" : "");
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
            reportFailure(window, downloadErrorText(window));
        }
    });
}

}  // namespace kx::launcher
