#pragma once
// Everything the engine sends, decided before anything is sent: the request (verb, URL, header
// lines, body) and the proxy choice of a session. Pure functions, so the bytes can be checked
// without a network.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "errhandler/http/transfer_url.h"
#include "platform/curl/curl_handle.h"
#include "platform/runtime/dispatch.h"

namespace kx::errhandler {

// How a session reaches servers: the preconfigured proxies of the environment, none (direct), or
// the named proxy; for a named one `server` is "host" when the port is 80, else "host:port".
using ProxyMode = curl::ProxyMode;
using ProxySetting = curl::ProxyChoice;

// The proxy choice from the engine's properties: without custom settings the preconfigured one;
// with them direct, or the named proxy when `useProxy` is set. Returns nothing when the named proxy
// cannot be used: an empty or malformed host name, or a port outside 1 to 65535.
std::optional<ProxySetting> proxySettingFor(bool customProxySettings, bool useProxy,
                                            const std::string& proxyServer, std::int32_t proxyPort);

// The verb of a RequestMethod value: 1 "GET", 2 "POST", 3 "PUT"; "" for every other value (such a
// request is not sent).
std::string verbFor(std::int32_t requestMethod);

struct HttpRequest {
    std::string verb;
    std::string url;                   // absolute, as requestUrlFor() writes it
    std::vector<std::string> headers;  // complete header lines without the line break
    std::optional<std::string> body;   // POST only
};

// The request for one transfer. Every request carries the agent and "Pragma: no-cache" (always a
// fresh answer from the origin server); a POST also carries the form content type and the body
// built from `postItems`; GET and PUT carry no body. Raises RuntimeError 13 when a post item is not
// a string.
HttpRequest buildRequest(const std::string& verb, const TransferUrl& url,
                         const Collection& postItems, const std::string& agent);

}  // namespace kx::errhandler
