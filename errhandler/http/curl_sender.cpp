#include "errhandler/http/curl_sender.h"

#include <exception>

#include "platform/system/machine_folders.h"

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

// Every status line passes through here, including interim (1xx) and proxy answers; the last one
// seen belongs to the final response.
std::size_t onHeaderLine(char* data, std::size_t size, std::size_t count, void* user) {
    auto* exchange = static_cast<Exchange*>(user);
    const std::size_t length = size * count;
    if (auto status = curl::parseStatusLine(std::string_view(data, length))) {
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
    return options.caFile.empty() ? sys::caFile() : options.caFile;
}

// The engine's own options: HTTP/1.0, the path as given, a fresh connection that is not kept,
// and a stall (less than one byte per second for the whole period) ends the transfer.
void setRequest(curl::EasyHandle& h, const HttpRequest& request, const curl::HeaderList& headers,
                std::chrono::seconds stallTimeout) {
    h.set(CURLOPT_URL, request.url.c_str());
    h.set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    h.set(CURLOPT_PATH_AS_IS, 1L);
    h.set(CURLOPT_FRESH_CONNECT, 1L);
    h.set(CURLOPT_FORBID_REUSE, 1L);
    h.set(CURLOPT_LOW_SPEED_LIMIT, 1L);
    h.set(CURLOPT_LOW_SPEED_TIME, static_cast<long>(stallTimeout.count()));
    h.set(CURLOPT_HTTPHEADER, headers.get());
    if (request.body) {
        h.set(CURLOPT_POST, 1L);
        h.set(CURLOPT_POSTFIELDS, request.body->data());
        h.set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body->size()));
    } else {
        h.set(CURLOPT_HTTPGET, 1L);
    }
    if (request.verb != "GET" && request.verb != "POST") {
        h.set(CURLOPT_CUSTOMREQUEST, request.verb.c_str());
    }
}

void setCallbacks(curl::EasyHandle& h, Exchange& exchange) {
    h.set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    h.set(CURLOPT_BUFFERSIZE, kChunkBytes);
    h.set(CURLOPT_HEADERFUNCTION, &onHeaderLine);
    h.set(CURLOPT_HEADERDATA, &exchange);
    h.set(CURLOPT_WRITEFUNCTION, &onBodyData);
    h.set(CURLOPT_WRITEDATA, &exchange);
    h.set(CURLOPT_ERRORBUFFER, exchange.errorBuffer);
}

}  // namespace

CurlSession::CurlSession(ProxySetting proxy, TransferOptions options)
    : settings_{caFileFor(options), options.connectTimeout, std::move(proxy)},
      stallTimeout_(options.stallTimeout),
      handle_(settings_) {}

SendOutcome CurlSession::send(const HttpRequest& request, const BodyReceiver& receiver) {
    Exchange exchange;
    exchange.receiver = &receiver;
    CURLcode result = CURLE_OK;
    try {
        curl::HeaderList headers;
        for (const std::string& line : request.headers) {
            headers.append(line);
        }
        handle_.reconfigure(settings_);
        setRequest(handle_, request, headers, stallTimeout_);
        setCallbacks(handle_, exchange);
        // The handle keeps pointers into this frame afterwards; nothing uses them before the next
        // send reconfigures it.
        result = curl_easy_perform(handle_.get());
    } catch (const curl::SetupError& failure) {
        exchange.outcome.curlCode = static_cast<int>(failure.code());
        exchange.outcome.curlMessage = failure.what();
        return exchange.outcome;
    }
    if (exchange.failure) {
        std::rethrow_exception(exchange.failure);
    }
    exchange.outcome.curlCode = static_cast<int>(result);
    exchange.outcome.curlMessage =
        exchange.errorBuffer[0] != '\0' ? exchange.errorBuffer : curl_easy_strerror(result);
    return exchange.outcome;
}

}  // namespace kx::errhandler
