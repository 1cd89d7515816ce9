#pragma once
// One blocking HTTP(S) POST of a JSON document with libcurl: certificates verified (peer and
// host), proxies taken from the usual environment variables (http_proxy, https_proxy, no_proxy),
// time-outs and an answer size limit from ConnectionSettings, no redirects followed.

#include <string>

#include "platform/dataspace/data_space.h"
#include "platform/dataspace/remote_call.h"

namespace kx::dataspace {

// Sends `body` to `url` and returns the status and body of the answer, whatever the status.
// Transport failures raise RuntimeError with the numbers of data_space.h (unreachable,
// time-out, TLS, too large, invalid URL, other transfer failure); their descriptions name the
// URL without any user name or password it may carry, and never contain the body.
CallAnswer postJson(const std::string& url, const std::string& body,
                    const ConnectionSettings& settings);

// `url` with any user-information part ("user:password@") removed, for messages.
std::string urlForMessages(const std::string& url);

}  // namespace kx::dataspace
