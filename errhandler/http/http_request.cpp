#include "errhandler/http/http_request.h"

#include "errhandler/http/url_encode.h"

namespace kx::errhandler {

std::optional<ProxySetting> proxySettingFor(bool customProxySettings, bool useProxy,
                                            const std::string& proxyServer,
                                            std::int32_t proxyPort) {
    if (!customProxySettings) {
        return ProxySetting{ProxyMode::Preconfigured, {}};
    }
    if (!useProxy) {
        return ProxySetting{ProxyMode::Direct, {}};
    }
    if (proxyPort < 1 || proxyPort > 65535) {
        return std::nullopt;
    }
    // The proxy name goes through the same host rules as a URL's host, which keeps schemes,
    // credentials and stray characters out of what libcurl is told.
    if (proxyServer.find('/') != std::string::npos) {
        return std::nullopt;
    }
    const auto parsed = parseTransferUrl(proxyServer);
    if (!parsed || parsed->port != 80) {
        return std::nullopt;  // the port belongs in ProxyPort, not in the name
    }
    std::string server = parsed->host;
    if (proxyPort != 80) {
        server += ":" + std::to_string(proxyPort);
    }
    return ProxySetting{ProxyMode::Named, std::move(server)};
}

std::string verbFor(std::int32_t requestMethod) {
    switch (requestMethod) {
        case 1:
            return "GET";
        case 2:
            return "POST";
        case 3:
            return "PUT";
        default:
            return "";
    }
}

HttpRequest buildRequest(const std::string& verb, const TransferUrl& url,
                         const Collection& postItems, const std::string& agent) {
    HttpRequest request;
    request.verb = verb;
    request.url = requestUrlFor(url);
    request.headers.push_back("User-Agent: " + agent);
    request.headers.push_back("Pragma: no-cache");
    if (verb == "POST") {
        request.headers.push_back("Content-Type: application/x-www-form-urlencoded");
        request.body = buildPostData(postItems);
    }
    return request;
}

}  // namespace kx::errhandler
