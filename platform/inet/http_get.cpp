#include "platform/inet/http_get.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>

#include "platform/curl/curl_handle.h"
#include "platform/curl/http_status_line.h"
#include "platform/text/ascii_text.h"

namespace kx::inet {

namespace {

using Clock = std::chrono::steady_clock;

// The caller's callbacks, the watch for a stalled transfer (the time of the last byte received,
// or of the last return from a body callback, which may wait for the reader), and whether the
// answer being read is a redirect that will be followed, whose headers and body go nowhere.
struct Transfer {
    const GetCallbacks& callbacks;
    Clock::duration stallLimit;
    bool followRedirects;
    Clock::time_point lastByte = Clock::now();
    bool stalled = false;
    bool redirecting = false;
};

bool isFollowedRedirect(std::int32_t status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* context) {
    auto* transfer = static_cast<Transfer*>(context);
    std::string_view line(data, size * count);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    transfer->lastByte = Clock::now();
    if (line.starts_with("HTTP/")) {
        transfer->redirecting =
            transfer->followRedirects && isFollowedRedirect(curl::statusCodeOf(line));
    }
    return transfer->redirecting || transfer->callbacks.headerLine(line) ? size * count : 0;
}

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* context) {
    auto* transfer = static_cast<Transfer*>(context);
    const bool taken = transfer->redirecting || transfer->callbacks.body(data, size * count);
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
    handle.set(CURLOPT_HTTPGET, 1L);
    handle.set(CURLOPT_HTTPHEADER, headers.get());
    // The answer of a proxy to CONNECT is not the server's: keep it out of the headers.
    handle.set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    // Reads of 128 KiB rather than libcurl's 16: a large file passes in an eighth of the calls.
    long readBytes = 128L * 1024;
    if (request.maxBytesPerSecond > 0) {
        handle.set(CURLOPT_MAX_RECV_SPEED_LARGE,
                   static_cast<curl_off_t>(request.maxBytesPerSecond));
        // libcurl keeps to the limit on average, reading up to a hundred buffers in a burst: a
        // thousandth of a second's worth each keeps the bursts to a tenth of a second.
        readBytes =
            std::clamp<long>(static_cast<long>(request.maxBytesPerSecond / 1000), 1024, readBytes);
    }
    handle.set(CURLOPT_BUFFERSIZE, readBytes);
    handle.set(CURLOPT_HEADERFUNCTION, &onHeader);
    handle.set(CURLOPT_HEADERDATA, &transfer);
    handle.set(CURLOPT_WRITEFUNCTION, &onBody);
    handle.set(CURLOPT_WRITEDATA, &transfer);
    // Called at least once a second, so it also watches for a stall and for a stop request.
    handle.set(CURLOPT_XFERINFOFUNCTION, &onProgress);
    handle.set(CURLOPT_XFERINFODATA, &transfer);
    handle.set(CURLOPT_NOPROGRESS, 0L);
}

// Where the redirect just read leads, when it may be followed as the `followed`+1st of at most
// `allowed`: `url` set, `refusal` CURLE_OK. Otherwise `refusal` and `why` say why not.
struct RedirectTarget {
    std::string url;
    CURLcode refusal = CURLE_OK;
    std::string why;
};

RedirectTarget redirectTarget(CURL* handle, const std::string& from, int followed, int allowed) {
    if (followed >= allowed) {
        return {{},
                CURLE_TOO_MANY_REDIRECTS,
                "more than " + std::to_string(allowed) + " redirects, the last from " + from};
    }
    // libcurl resolves the Location against the address it answered for.
    const char* location = nullptr;
    if (curl_easy_getinfo(handle, CURLINFO_REDIRECT_URL, &location) != CURLE_OK ||
        location == nullptr || *location == '\0') {
        return {{}, CURLE_WEIRD_SERVER_REPLY, "a redirect without a usable Location from " + from};
    }
    const std::string to(location);
    const bool secure = ascii::startsWithNoCase(to, "https://");
    const bool plain = ascii::startsWithNoCase(to, "http://");
    if (!secure && !(plain && !ascii::startsWithNoCase(from, "https://"))) {
        return {{},
                CURLE_UNSUPPORTED_PROTOCOL,
                "the redirect from " + from + " to " + to + " was refused"};
    }
    return {to, CURLE_OK, {}};
}

}  // namespace

bool isTransientFailure(std::int32_t code) {
    switch (code) {
        case CURLE_COULDNT_CONNECT:
        case CURLE_PARTIAL_FILE:
        case CURLE_OPERATION_TIMEDOUT:
        case CURLE_GOT_NOTHING:
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
            return true;
        default:
            return false;
    }
}

std::int32_t runHttpGet(const GetRequest& request, const GetCallbacks& callbacks,
                        std::string& error) {
    Transfer transfer{callbacks, std::chrono::seconds(request.stallSeconds),
                      request.maxRedirects > 0};
    char errorText[CURL_ERROR_SIZE] = {};
    CURLcode code = CURLE_OK;
    try {
        curl::EasyHandle handle(
            {request.caFile, std::chrono::seconds(request.connectTimeoutSeconds), {}});
        const curl::HeaderList headers = headerList(request.extraHeaders);
        handle.set(CURLOPT_ERRORBUFFER, errorText);
        setTransferOptions(handle, request, headers, transfer);
        std::string url = request.url;
        for (int followed = 0;; ++followed) {
            handle.set(CURLOPT_URL, url.c_str());
            transfer.redirecting = false;
            code = curl_easy_perform(handle.get());
            if (code != CURLE_OK || !transfer.redirecting) {
                break;
            }
            RedirectTarget next = redirectTarget(handle.get(), url, followed, request.maxRedirects);
            if (next.refusal != CURLE_OK) {
                error = std::move(next.why);
                return static_cast<std::int32_t>(next.refusal);
            }
            url = std::move(next.url);
        }
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
