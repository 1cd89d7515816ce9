#pragma once
// One HTTP(S) GET with libcurl, run to its end on the calling thread: the libcurl set-up of the
// download control in one place. Proxies come from the usual environment variables (http_proxy,
// https_proxy, no_proxy); https is verified (peer and host name) against `caFile` or the system's
// store; the connection must be made within the connect time-out and a transfer that receives no
// byte for `stallSeconds` ends as a time-out (CURLE_OPERATION_TIMEDOUT; time a body callback spends
// waiting for its reader does not count).
//
// Redirects are followed only when the request allows some (`maxRedirects`), and then only those
// of status 301, 302, 303, 307 and 308, to an http or https address, never from https to http:
// the callbacks never see a redirect that was followed, only the final answer. A redirect beyond
// the allowed number ends the request with CURLE_TOO_MANY_REDIRECTS, one to a refused address with
// CURLE_UNSUPPORTED_PROTOCOL, one without a usable Location with CURLE_WEIRD_SERVER_REPLY; the
// error text says which. Other 3xx answers are final answers like any other.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kx::inet {

struct GetRequest {
    std::string url;
    std::string extraHeaders;  // "Name: value" lines separated by CR LF, as the caller wrote them
    std::string caFile;        // empty: the system's certificate store
    long connectTimeoutSeconds = 30;
    long stallSeconds = 60;
    std::int64_t maxBytesPerSecond = 0;  // 0: no limit
    int maxRedirects = 0;                // redirects followed; 0: none
};

struct GetCallbacks {
    // Each header line as received (the status line first, the empty line last), without its line
    // end. Returning false aborts the transfer.
    std::function<bool(std::string_view line)> headerLine;
    // Body bytes in arrival order. Returning false aborts the transfer.
    std::function<bool(const char* data, std::size_t size)> body;
    // Asked now and then (at least once a second, also while connecting); false aborts.
    std::function<bool()> keepGoing;
};

// Whether a failure code of runHttpGet may not happen again a moment later: the connection
// refused, reset or cut (also a body shorter than announced), nothing answered, a time-out.
bool isTransientFailure(std::int32_t code);

// Runs the request. Returns 0 when the transfer completed cleanly (whatever the HTTP status),
// else libcurl's error code; `error` receives its text.
std::int32_t runHttpGet(const GetRequest& request, const GetCallbacks& callbacks,
                        std::string& error);

}  // namespace kx::inet
