#include "http_get.h"

#include <curl/curl.h>

#include <chrono>
#include <memory>
#include <mutex>

namespace kx::inet {

namespace {

void initialiseCurlOnce() {
    // curl_global_init is not thread-safe on every libcurl build; do it once, before any handle.
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CurlDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct HeaderListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

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

curl_slist* headerList(const std::string& extraHeaders) {
    curl_slist* list = nullptr;
    std::size_t start = 0;
    while (start < extraHeaders.size()) {
        std::size_t end = extraHeaders.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            end = extraHeaders.size();
        }
        if (end > start) {
            list = curl_slist_append(list, extraHeaders.substr(start, end - start).c_str());
        }
        start = end + 1;
    }
    return list;
}

}  // namespace

std::int32_t runHttpGet(const GetRequest& request, const GetCallbacks& callbacks,
                        std::string& error) {
    initialiseCurlOnce();
    const std::unique_ptr<CURL, CurlDeleter> handle(curl_easy_init());
    const std::unique_ptr<curl_slist, HeaderListDeleter> headers(headerList(request.extraHeaders));
    if (!handle) {
        error = "the HTTP library could not be initialised";
        return CURLE_FAILED_INIT;
    }
    CURL* curl = handle.get();
    char errorText[CURL_ERROR_SIZE] = {};
    // Every option below is supported by the libcurl we build against; a failure would show as a
    // failed transfer, with its text in the error buffer.
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
    // The answer of a proxy to CONNECT is not the server's: keep it out of the headers.
    curl_easy_setopt(curl, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!request.caFile.empty()) {
        curl_easy_setopt(curl, CURLOPT_CAINFO, request.caFile.c_str());
    }
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, request.connectTimeoutSeconds);
    if (request.maxBytesPerSecond > 0) {
        curl_easy_setopt(curl, CURLOPT_MAX_RECV_SPEED_LARGE,
                         static_cast<curl_off_t>(request.maxBytesPerSecond));
    }
    Transfer transfer{callbacks, std::chrono::seconds(request.stallSeconds)};
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    // Called at least once a second, so it also watches for a stall and for a stop request.
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &onProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    CURLcode code = curl_easy_perform(curl);
    if (transfer.stalled) {
        code = CURLE_OPERATION_TIMEDOUT;
        error = "no data received for " + std::to_string(request.stallSeconds) + " seconds";
    } else if (code != CURLE_OK) {
        error = errorText[0] != '\0' ? errorText : curl_easy_strerror(code);
    }
    return static_cast<std::int32_t>(code);
}

}  // namespace kx::inet
