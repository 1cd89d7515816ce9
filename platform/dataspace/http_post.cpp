#include "platform/dataspace/http_post.h"

#include <curl/curl.h>

#include <string>

#include "platform/curl/curl_handle.h"
#include "platform/runtime/run_time_error.h"

namespace kx::dataspace {

namespace {

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

// The call's own options on a handle configured by the common rules.
void setCallOptions(curl::EasyHandle& handle, const std::string& url, const std::string& body,
                    const curl::HeaderList& headers, const ConnectionSettings& settings) {
    handle.set(CURLOPT_URL, url.c_str());
    handle.set(CURLOPT_HTTPHEADER, headers.get());
    handle.set(CURLOPT_POST, 1L);
    handle.set(CURLOPT_POSTFIELDS, body.data());
    handle.set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    handle.set(CURLOPT_TIMEOUT_MS, static_cast<long>(settings.overallTimeout.count()));
    handle.set(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(settings.maxAnswerBytes));
    handle.set(CURLOPT_WRITEFUNCTION, &appendToAnswer);
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
    AnswerBuffer answer;
    answer.limit = settings.maxAnswerBytes;
    char errorText[CURL_ERROR_SIZE] = {};
    CURLcode code = CURLE_OK;
    long status = 0;
    try {
        curl::EasyHandle handle({settings.caFile, settings.connectTimeout, {}});
        curl::HeaderList headers;
        headers.append("Content-Type: application/json");
        headers.append("Accept: application/json");
        // Without this libcurl waits for "100 Continue" before large bodies, a needless delay.
        headers.append("Expect:");
        setCallOptions(handle, url, body, headers, settings);
        handle.set(CURLOPT_WRITEDATA, &answer);
        handle.set(CURLOPT_ERRORBUFFER, errorText);
        code = curl_easy_perform(handle.get());
        if (code == CURLE_OK &&
            curl_easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) {
            raiseTransportError(
                errors::kTransferFailed,
                "The HTTP library gave no status for the call to " + urlForMessages(url));
        }
    } catch (const curl::SetupError& failure) {
        raiseTransportError(errors::kTransferFailed,
                            std::string("The call could not be prepared: ") + failure.what());
    }
    if (code != CURLE_OK) {
        raiseForCurlCode(code, errorText, urlForMessages(url), settings, answer.overflowed);
    }
    return {status, std::move(answer.body)};
}

}  // namespace kx::dataspace
