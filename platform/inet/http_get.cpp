#include "http_get.h"

#include <curl/curl.h>

#include <chrono>

#include "curl_handle.h"

namespace kx::inet {

namespace {

using Clock = std::chrono::steady_clock;

// The caller's callbacks and the watch for a stalled transfer: the time of the last byte
// received (or of the last return from a body callback, which may wait for the reader).
struct Transfer {
    const GetCallbacks& callbacks;
    Clock::duration stallLimit;
    Clock::time_point lastByte = Clock::now();
    bool stalled = false;
};

std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* context) {
    auto* transfer = static_cast<Transfer*>(context);
    std::string_view line(data, size * count);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    transfer->lastByte = Clock::now();
    return transfer->callbacks.headerLine(line) ? size * count : 0;
}

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* context) {
    auto* transfer = static_cast<Transfer*>(context);
    const bool taken = transfer->callbacks.body(data, size * count);
    transfer->lastByte = Clock::now();
    return taken ? size * count : 0;
}

int onProgress(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* transfer = static_cast<Transfer*>(context);
    transfer->stalled = Clock::now() - transfer->lastByte > transfer->stallLimit;
    return transfer->stalled || !transfer->callbacks.keepGoing() ? 1 : 0;
}

curl::HeaderList headerList(const std::string& extraHeaders) {
    curl::HeaderList list;
    std::size_t start = 0;
    while (start < extraHeaders.size()) {
        std::size_t end = extraHeaders.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            end = extraHeaders.size();
        }
        if (end > start) {
            list.append(std::string_view(extraHeaders).substr(start, end - start));
        }
        start = end + 1;
    }
    return list;
}

// The download's own options on a handle configured by the common rules.
void setTransferOptions(curl::EasyHandle& handle, const GetRequest& request,
                        const curl::HeaderList& headers, Transfer& transfer) {
    handle.set(CURLOPT_URL, request.url.c_str());
    handle.set(CURLOPT_HTTPGET, 1L);
    handle.set(CURLOPT_HTTPHEADER, headers.get());
    // The answer of a proxy to CONNECT is not the server's: keep it out of the headers.
    handle.set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    if (request.maxBytesPerSecond > 0) {
        handle.set(CURLOPT_MAX_RECV_SPEED_LARGE,
                   static_cast<curl_off_t>(request.maxBytesPerSecond));
    }
    handle.set(CURLOPT_HEADERFUNCTION, &onHeader);
    handle.set(CURLOPT_HEADERDATA, &transfer);
    handle.set(CURLOPT_WRITEFUNCTION, &onBody);
    handle.set(CURLOPT_WRITEDATA, &transfer);
    // Called at least once a second, so it also watches for a stall and for a stop request.
    handle.set(CURLOPT_XFERINFOFUNCTION, &onProgress);
    handle.set(CURLOPT_XFERINFODATA, &transfer);
    handle.set(CURLOPT_NOPROGRESS, 0L);
}

}  // namespace

std::int32_t runHttpGet(const GetRequest& request, const GetCallbacks& callbacks,
                        std::string& error) {
    Transfer transfer{callbacks, std::chrono::seconds(request.stallSeconds)};
    char errorText[CURL_ERROR_SIZE] = {};
    CURLcode code = CURLE_OK;
    try {
        curl::EasyHandle handle(
            {request.caFile, std::chrono::seconds(request.connectTimeoutSeconds), {}});
        const curl::HeaderList headers = headerList(request.extraHeaders);
        handle.set(CURLOPT_ERRORBUFFER, errorText);
        setTransferOptions(handle, request, headers, transfer);
        code = curl_easy_perform(handle.get());
    } catch (const curl::SetupError& failure) {
        error = failure.what();
        return static_cast<std::int32_t>(failure.code());
    }
    if (transfer.stalled) {
        code = CURLE_OPERATION_TIMEDOUT;
        error = "no data received for " + std::to_string(request.stallSeconds) + " seconds";
    } else if (code != CURLE_OK) {
        error = errorText[0] != '\0' ? errorText : curl_easy_strerror(code);
    }
    return static_cast<std::int32_t>(code);
}

}  // namespace kx::inet
