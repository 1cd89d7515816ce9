#include "curl_sender.h"

#include <cstdlib>
#include <exception>
#include <new>

namespace kx::errhandler {
namespace {

// State of one request, reached from libcurl's callbacks.
struct Exchange {
    const BodyReceiver* receiver = nullptr;
    SendOutcome outcome;
    std::exception_ptr failure;  // thrown by the receiver, re-thrown after libcurl returns
    char errorBuffer[CURL_ERROR_SIZE] = {};
};

// libcurl reads the body in pieces of this size, so the receiver sees at most this many bytes.
constexpr long kChunkBytes = 2048;

void initialiseCurlOnce() {
    static const CURLcode result = curl_global_init(CURL_GLOBAL_DEFAULT);
    if (result != CURLE_OK) {
        throw std::bad_alloc();
    }
}

// Every status line passes through here, including interim (1xx) and proxy answers; the last one
// seen belongs to the final response.
std::size_t onHeaderLine(char* data, std::size_t size, std::size_t count, void* user) {
    auto* exchange = static_cast<Exchange*>(user);
    const std::size_t length = size * count;
    if (auto status = parseStatusLine(std::string_view(data, length))) {
        exchange->outcome.status = std::move(status);
    }
    return length;
}

std::size_t onBodyData(char* data, std::size_t size, std::size_t count, void* user) {
    auto* exchange = static_cast<Exchange*>(user);
    const std::size_t length = size * count;
    const std::int32_t code = exchange->outcome.status ? exchange->outcome.status->code : 0;
    try {
        if ((*exchange->receiver)(code, std::string_view(data, length))) {
            return length;
        }
    } catch (...) {
        // An exception must not unwind through libcurl's C frames.
        exchange->failure = std::current_exception();
    }
    exchange->outcome.stoppedByReceiver = true;
    return 0;  // anything but `length` makes libcurl stop with a write error
}

std::string caFileFor(const TransferOptions& options) {
    if (!options.caFile.empty()) {
        return options.caFile;
    }
    const char* fromEnvironment = std::getenv("KX_CA_FILE");
    return fromEnvironment != nullptr ? fromEnvironment : "";
}

void setProxy(CURL* h, const ProxySetting& proxy) {
    switch (proxy.mode) {
        case ProxyMode::Preconfigured:
            break;  // libcurl follows http_proxy, https_proxy and no_proxy by itself
        case ProxyMode::Direct:
            curl_easy_setopt(h, CURLOPT_PROXY, "");
            break;
        case ProxyMode::Named:
            curl_easy_setopt(h, CURLOPT_PROXY, proxy.server.c_str());
            curl_easy_setopt(h, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
            curl_easy_setopt(h, CURLOPT_NOPROXY, "");
            break;
    }
}

void setLimits(CURL* h, const TransferOptions& options) {
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(options.connectTimeout.count()));
    // A stall (less than one byte per second for the whole period) ends the transfer.
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, static_cast<long>(options.stallTimeout.count()));
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    if (const std::string caFile = caFileFor(options); !caFile.empty()) {
        curl_easy_setopt(h, CURLOPT_CAINFO, caFile.c_str());  // libcurl copies the string
    }
}

void setRequest(CURL* h, const HttpRequest& request, curl_slist* headers) {
    curl_easy_setopt(h, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(h, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    // A fresh download every time: no connection is reused or kept for later.
    curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers);
    if (request.body) {
        curl_easy_setopt(h, CURLOPT_POST, 1L);
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, request.body->data());
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(request.body->size()));
    } else {
        curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    }
    if (request.verb != "GET" && request.verb != "POST") {
        curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, request.verb.c_str());
    }
}

void setCallbacks(CURL* h, Exchange& exchange) {
    curl_easy_setopt(h, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(h, CURLOPT_BUFFERSIZE, kChunkBytes);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &onHeaderLine);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &exchange);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &onBodyData);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &exchange);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, exchange.errorBuffer);
}

}  // namespace

CurlSession::CurlSession(ProxySetting proxy, TransferOptions options)
    : handle_(nullptr), proxy_(std::move(proxy)), options_(std::move(options)) {
    initialiseCurlOnce();
    handle_ = curl_easy_init();
    if (handle_ == nullptr) {
        throw std::bad_alloc();
    }
}

CurlSession::~CurlSession() {
    curl_easy_cleanup(handle_);
}

SendOutcome CurlSession::send(const HttpRequest& request, const BodyReceiver& receiver) {
    curl_slist* headers = nullptr;
    for (const std::string& line : request.headers) {
        curl_slist* grown = curl_slist_append(headers, line.c_str());
        if (grown == nullptr) {
            curl_slist_free_all(headers);
            throw std::bad_alloc();
        }
        headers = grown;
    }
    Exchange exchange;
    exchange.receiver = &receiver;
    curl_easy_reset(handle_);
    setRequest(handle_, request, headers);
    setProxy(handle_, proxy_);
    setLimits(handle_, options_);
    setCallbacks(handle_, exchange);
    const CURLcode result = curl_easy_perform(handle_);
    // The handle must not point at this stack frame once it returns.
    curl_easy_setopt(handle_, CURLOPT_ERRORBUFFER, nullptr);
    curl_easy_setopt(handle_, CURLOPT_HTTPHEADER, nullptr);
    curl_slist_free_all(headers);

    if (exchange.failure) {
        std::rethrow_exception(exchange.failure);
    }
    exchange.outcome.curlCode = static_cast<int>(result);
    exchange.outcome.curlMessage =
        exchange.errorBuffer[0] != '\0' ? exchange.errorBuffer : curl_easy_strerror(result);
    return exchange.outcome;
}

}  // namespace kx::errhandler
