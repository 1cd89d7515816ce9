#include "http_post.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>
#include <string>

#include "run_time_error.h"

namespace kx::dataspace {

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

struct AnswerBuffer {
    std::string body;
    std::size_t limit = 0;
    bool overflowed = false;
};

std::size_t appendToAnswer(char* data, std::size_t size, std::size_t count, void* context) {
    auto* buffer = static_cast<AnswerBuffer*>(context);
    const std::size_t bytes = size * count;
    if (bytes > buffer->limit - buffer->body.size()) {
        buffer->overflowed = true;
        return 0;  // makes libcurl abort the transfer
    }
    buffer->body.append(data, bytes);
    return bytes;
}

[[noreturn]] void raiseTransportError(std::int32_t number, const std::string& description) {
    raiseError(number, std::string(kErrorSource), description);
}

[[noreturn]] void raiseForCurlCode(CURLcode code, const std::string& detail, const std::string& url,
                                   const ConnectionSettings& settings, bool overflowed) {
    const std::string server = "The server at " + url;
    const std::string why = detail.empty() ? curl_easy_strerror(code) : detail;
    if (overflowed || code == CURLE_FILESIZE_EXCEEDED) {
        raiseTransportError(errors::kAnswerTooLarge, server + " sent an answer larger than " +
                                                         std::to_string(settings.maxAnswerBytes) +
                                                         " bytes");
    }
    switch (code) {
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            raiseTransportError(
                errors::kServerUnreachable,
                server + " cannot be reached: the name could not be resolved (" + why + ")");
        case CURLE_COULDNT_CONNECT:
            raiseTransportError(errors::kServerUnreachable,
                                server + " cannot be reached: the connection failed (" + why + ")");
        case CURLE_OPERATION_TIMEDOUT:
            raiseTransportError(errors::kTimedOut,
                                server + " did not answer in time (" + why + ")");
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_CRL_BADFILE:
            raiseTransportError(errors::kTlsFailure,
                                server + " could not be reached securely (" + why + ")");
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_URL_MALFORMAT:
            raiseTransportError(errors::kInvalidUrl,
                                "The URL " + url + " cannot be used (" + why + ")");
        default:
            raiseTransportError(errors::kTransferFailed,
                                "The call to the server at " + url + " failed (" + why + ")");
    }
}

void setOption(CURL* handle, CURLoption option, auto value) {
    // Options set here are all supported by the libcurl we build against; a failure would mean a
    // libcurl without https or with a broken build, which must not pass unnoticed.
    if (curl_easy_setopt(handle, option, value) != CURLE_OK) {
        raiseTransportError(errors::kTransferFailed, "The HTTP library rejected a setting");
    }
}

}  // namespace

std::string urlForMessages(const std::string& url) {
    const auto scheme = url.find("://");
    if (scheme == std::string::npos) {
        return url;
    }
    const auto authorityStart = scheme + 3;
    const auto authorityEnd = url.find_first_of("/?#", authorityStart);
    const auto at = url.rfind('@', authorityEnd == std::string::npos ? url.size() : authorityEnd);
    if (at == std::string::npos || at < authorityStart) {
        return url;
    }
    return url.substr(0, authorityStart) + url.substr(at + 1);
}

CallAnswer postJson(const std::string& url, const std::string& body,
                    const ConnectionSettings& settings) {
    initialiseCurlOnce();
    const std::unique_ptr<CURL, CurlDeleter> handle(curl_easy_init());
    if (!handle) {
        raiseTransportError(errors::kTransferFailed, "The HTTP library could not be initialised");
    }
    CURL* curl = handle.get();

    curl_slist* rawHeaders = curl_slist_append(nullptr, "Content-Type: application/json");
    rawHeaders = curl_slist_append(rawHeaders, "Accept: application/json");
    // Without this libcurl waits for "100 Continue" before large bodies, a needless delay.
    rawHeaders = curl_slist_append(rawHeaders, "Expect:");
    const std::unique_ptr<curl_slist, HeaderListDeleter> headers(rawHeaders);
    if (!headers) {
        raiseTransportError(errors::kTransferFailed, "The HTTP library could not build headers");
    }

    AnswerBuffer answer;
    answer.limit = settings.maxAnswerBytes;
    char errorText[CURL_ERROR_SIZE] = {};

    setOption(curl, CURLOPT_URL, url.c_str());
    setOption(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    setOption(curl, CURLOPT_NOSIGNAL, 1L);
    setOption(curl, CURLOPT_HTTPHEADER, headers.get());
    setOption(curl, CURLOPT_POST, 1L);
    setOption(curl, CURLOPT_POSTFIELDS, body.data());
    setOption(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    setOption(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    setOption(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!settings.caFile.empty()) {
        setOption(curl, CURLOPT_CAINFO, settings.caFile.c_str());
    }
    setOption(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(settings.connectTimeout.count()));
    setOption(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(settings.overallTimeout.count()));
    setOption(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(settings.maxAnswerBytes));
    setOption(curl, CURLOPT_WRITEFUNCTION, &appendToAnswer);
    setOption(curl, CURLOPT_WRITEDATA, &answer);
    setOption(curl, CURLOPT_ERRORBUFFER, errorText);

    const CURLcode code = curl_easy_perform(curl);
    if (code != CURLE_OK) {
        raiseForCurlCode(code, errorText, urlForMessages(url), settings, answer.overflowed);
    }
    CallAnswer result;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.httpStatus);
    result.body = std::move(answer.body);
    return result;
}

}  // namespace kx::dataspace
