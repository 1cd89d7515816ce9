#include "platform/inet/inet.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/curl/http_status_line.h"
#include "platform/files/sha256_file.h"
#include "platform/inet/body_buffer.h"
#include "platform/inet/http_get.h"
#include "platform/runtime/run_time_error.h"
#include "platform/text/ascii_text.h"

namespace kx::inet {

namespace {

constexpr auto kWaitSlice = std::chrono::milliseconds(16);

}  // namespace

// One request: shared by the transfer thread and the window's thread.
struct Inet::Transfer {
    mutable std::mutex mutex;
    std::condition_variable progress;
    std::string headers;  // complete once the state-12 event is posted
    bool headersComplete = false;
    int pendingEvents = 0;  // posted and not yet fully handled
    bool threadDone = false;
    bool ended = false;  // the outcome below is known
    std::int32_t code = 0;
    std::string error;
    std::unique_ptr<files::Sha256> digest;  // of the body, when asked for
    std::string bodyDigest;
    std::atomic<bool> stopping{false};
    bool inResponse = false;  // the state-12 handler is running (window's thread only)
    BodyBuffer body{kBodyBufferBytes};
    std::thread thread;
};

Inet::Inet(UiThreadPoster& poster) : poster_(poster), self_(std::make_shared<Inet*>(this)) {}

Inet::~Inet() {
    *self_ = nullptr;
    stop();
}

void Inet::setRequestTimeout(std::int32_t seconds) {
    if (seconds < 1) {
        raiseError(vberr::kInvalidProcedureCall);
    }
    requestTimeout_ = seconds;
}

void Inet::stop() {
    if (!transfer_) {
        return;
    }
    transfer_->stopping = true;
    transfer_->body.cancel();
    if (transfer_->thread.joinable()) {
        transfer_->thread.join();
    }
    transfer_.reset();
}

void Inet::post(const std::shared_ptr<Transfer>& transfer, std::int16_t state) {
    {
        const std::lock_guard lock(transfer->mutex);
        ++transfer->pendingEvents;
    }
    transfer->progress.notify_all();
    poster_.postToUiThread([self = self_, transfer, state] {
        if (*self != nullptr) {
            (*self)->deliver(transfer, state);
        }
    });
}

void Inet::deliver(const std::shared_ptr<Transfer>& transfer, std::int16_t state) {
    if (transfer == transfer_ && stateChanged_) {
        transfer->inResponse = state == state::icResponseCompleted;
        // A copy: the handler may replace itself.
        const StateChangedHandler handler = stateChanged_;
        try {
            handler(state);
        } catch (...) {
            transfer->inResponse = false;
            finishEvent(*transfer);
            throw;
        }
        transfer->inResponse = false;
    }
    finishEvent(*transfer);
}

void Inet::finishEvent(Transfer& transfer) {
    // What the handler left unread is not wanted: the transfer ends.
    transfer.body.cancel();
    transfer.stopping = true;
    {
        const std::lock_guard lock(transfer.mutex);
        --transfer.pendingEvents;
    }
    transfer.progress.notify_all();
}

void Inet::Execute(const std::string& URL, const std::string& Operation,
                   const std::string& /*InputData*/, const std::string& InputHdrs) {
    if (URL.empty() || Operation != "GET") {
        raiseError(vberr::kInvalidProcedureCall);
    }
    stop();
    url_ = URL;
    auto transfer = std::make_shared<Transfer>();
    if (digestBody_) {
        transfer->digest = std::make_unique<files::Sha256>();
    }
    transfer_ = transfer;
    GetRequest request{URL, InputHdrs, caFile_, 30, requestTimeout_, rateLimit_, maxRedirects_};
    transfer->thread =
        std::thread([this, transfer, request = std::move(request)] { run(transfer, request); });
}

void Inet::run(const std::shared_ptr<Transfer>& transfer, const GetRequest& request) {
    Transfer& t = *transfer;
    std::string status;  // the status line of the header block being read
    std::size_t headerBytes = 0;
    GetCallbacks callbacks;
    callbacks.headerLine = [&](std::string_view line) {
        headerBytes += line.size() + 2;
        if (headerBytes > kMaxHeaderBytes) {
            return false;
        }
        const std::lock_guard lock(t.mutex);
        if (line.starts_with("HTTP/")) {
            t.headers.clear();  // an interim answer (1xx) came before this one
        }
        if (!line.empty()) {
            t.headers.append(line).append("\r\n");
            return true;
        }
        t.headersComplete = curl::statusCodeOf(t.headers) >= 200;
        return true;
    };
    bool announced = false;
    callbacks.body = [&](const char* data, std::size_t size) {
        announceResponse(transfer, announced);
        if (t.digest) {
            t.digest->update(data, size);
        }
        return t.body.write(data, size);
    };
    callbacks.keepGoing = [&] { return !t.stopping.load(); };
    std::string error;
    const std::int32_t code = runHttpGet(request, callbacks, error);
    {
        const std::lock_guard lock(t.mutex);
        t.code = code;
        t.error = error;
        t.ended = true;
        if (t.digest && code == 0) {
            t.bodyDigest = t.digest->finishHex();
        }
    }
    if (code == 0 || t.headersComplete) {
        announceResponse(transfer, announced);
        t.body.finish(code);
    } else {
        post(transfer, state::icError);
    }
    {
        const std::lock_guard lock(t.mutex);
        t.threadDone = true;
    }
    t.progress.notify_all();
}

void Inet::announceResponse(const std::shared_ptr<Transfer>& transfer, bool& announced) {
    if (!announced) {
        announced = true;
        post(transfer, state::icResponseCompleted);
    }
}

bool Inet::StillExecuting() {
    if (!transfer_) {
        return false;
    }
    {
        const std::lock_guard lock(transfer_->mutex);
        if (!transfer_->threadDone || transfer_->pendingEvents > 0) {
            return true;
        }
    }
    if (transfer_->thread.joinable()) {
        transfer_->thread.join();
    }
    return false;
}

void Inet::waitForProgress(std::chrono::milliseconds wait) {
    if (!transfer_) {
        return;
    }
    std::unique_lock lock(transfer_->mutex);
    transfer_->progress.wait_for(
        lock, wait, [&] { return transfer_->threadDone || transfer_->pendingEvents > 0; });
}

std::string Inet::GetHeader(const std::string& name) const {
    if (!transfer_) {
        return {};
    }
    const std::lock_guard lock(transfer_->mutex);
    if (!transfer_->headersComplete) {
        return {};
    }
    const std::string& all = transfer_->headers;
    if (name.empty()) {
        return all;
    }
    std::size_t start = all.find("\r\n");  // past the status line
    while (start != std::string::npos && start + 2 < all.size()) {
        start += 2;
        const std::size_t end = all.find("\r\n", start);
        const std::string_view line(all.data() + start, end - start);
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos && ascii::equalsNoCase(line.substr(0, colon), name)) {
            return std::string(ascii::trimBlanks(line.substr(colon + 1)));
        }
        start = end;
    }
    return {};
}

std::vector<std::uint8_t> Inet::GetChunk(std::int32_t Size, std::int16_t DataType) {
    std::vector<std::uint8_t> chunk;
    GetChunk(chunk, Size, DataType);
    return chunk;
}

void Inet::GetChunk(std::vector<std::uint8_t>& chunk, std::int32_t Size, std::int16_t DataType) {
    if (DataType != icByteArray || Size < 1) {
        raiseError(vberr::kInvalidProcedureCall);
    }
    chunk.clear();
    if (!transfer_ || !transfer_->inResponse) {
        return;
    }
    const auto size = std::min<std::size_t>(static_cast<std::size_t>(Size), kBodyBufferBytes);
    for (;;) {
        if (transfer_->body.read(chunk, size, kWaitSlice) > 0 || transfer_->body.finished()) {
            return;
        }
        if (waitHook_) {
            waitHook_();
        }
    }
}

std::int32_t Inet::ResponseCode() const {
    if (!transfer_) {
        return 0;
    }
    const std::lock_guard lock(transfer_->mutex);
    return transfer_->ended ? transfer_->code : 0;
}

std::string Inet::BodyDigest() const {
    if (!transfer_) {
        return {};
    }
    const std::lock_guard lock(transfer_->mutex);
    return transfer_->bodyDigest;
}

std::string Inet::ResponseInfo() const {
    if (!transfer_) {
        return {};
    }
    const std::lock_guard lock(transfer_->mutex);
    return transfer_->error;
}

}  // namespace kx::inet
