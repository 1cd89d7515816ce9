#include "errhandler/http/wininet_errors.h"

#include <curl/curl.h>

#include <array>

namespace kx::errhandler {
namespace {

// Indexed by code - 12001; an empty entry has no message.
constexpr std::array<const char*, 36> kMessages = {
    "No more handles could be generated at this time",
    "The request has timed out.",
    "An extended error was returned from the server.",
    "An internal error has occurred.",
    "The URL is invalid.",
    "The URL scheme could not be recognized, or is not supported.",
    "The server name could not be resolved.",
    "The requested protocol could not be located.",
    "A request to InternetQueryOption or InternetSetOption specified an invalid option value.",
    "The length of an option supplied to InternetQueryOption or InternetSetOption is incorrect "
    "for the type of option specified.",
    "The request option can not be set, only queried. ",
    "The Win32 Internet support is being shutdown or unloaded.",
    "The request to connect and login to an FTP server could not be completed because the "
    "supplied user name is incorrect.",
    "The request to connect and login to an FTP server could not be completed because the "
    "supplied password is incorrect. ",
    "The request to connect to and login to an FTP server failed.",
    "The requested operation is invalid. ",
    "The operation was canceled, usually because the handle on which the request was operating "
    "was closed before the operation completed.",
    "The type of handle supplied is incorrect for this operation.",
    "The requested operation can not be carried out because the handle supplied is not in the "
    "correct state.",
    "The request can not be made via a proxy.",
    "A required registry value could not be located. ",
    "A required registry value was located but is an incorrect type or has an invalid value.",
    "Direct network access cannot be made at this time. ",
    "An asynchronous request could not be made because a zero context value was supplied.",
    "An asynchronous request could not be made because a callback function has not been set.",
    "The required operation could not be completed because one or more requests are pending.",
    "The format of the request is invalid.",
    "The requested item could not be located.",
    "The attempt to connect to the server failed.",
    "The connection with the server has been terminated.",
    "The connection with the server has been reset.",
    "",
    "",
    "",
    "",
    "The request failed because the handle already exists.",
};

}  // namespace

std::string TranslateErrorCode(std::int32_t lErrorCode) {
    if (lErrorCode >= wininet::kFirst && lErrorCode <= wininet::kLast) {
        const char* message = kMessages[static_cast<std::size_t>(lErrorCode - wininet::kFirst)];
        if (*message != '\0') {
            return message;
        }
    }
    return "Error details not available.";
}

std::int32_t winInetCodeForCurl(int curlCode) {
    switch (static_cast<CURLcode>(curlCode)) {
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return wininet::kNameNotResolved;
        case CURLE_COULDNT_CONNECT:
        case CURLE_PROXY:
        case CURLE_INTERFACE_FAILED:
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CLIENTCERT:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
            return wininet::kCannotConnect;
        case CURLE_OPERATION_TIMEDOUT:
            return wininet::kTimeout;
        case CURLE_GOT_NOTHING:
        case CURLE_RECV_ERROR:
            return wininet::kConnectionReset;
        case CURLE_SEND_ERROR:
        case CURLE_PARTIAL_FILE:
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM:
        case CURLE_BAD_CONTENT_ENCODING:
            return wininet::kConnectionAborted;
        case CURLE_UNSUPPORTED_PROTOCOL:
            return wininet::kUnrecognizedScheme;
        case CURLE_URL_MALFORMAT:
            return wininet::kInvalidUrl;
        case CURLE_NOT_BUILT_IN:
            return wininet::kProtocolNotFound;
        case CURLE_REMOTE_ACCESS_DENIED:
        case CURLE_LOGIN_DENIED:
        case CURLE_AUTH_ERROR:
            return wininet::kLoginFailure;
        case CURLE_ABORTED_BY_CALLBACK:
            return wininet::kOperationCancelled;
        case CURLE_BAD_FUNCTION_ARGUMENT:
        case CURLE_UNKNOWN_OPTION:
        case CURLE_SETOPT_OPTION_SYNTAX:
            return wininet::kInvalidOption;
        case CURLE_OUT_OF_MEMORY:
            return wininet::kOutOfHandles;
        default:
            return wininet::kInternalError;
    }
}

}  // namespace kx::errhandler
