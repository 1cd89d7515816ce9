#include "errhandler/http/http_transfer.h"

namespace kx::errhandler {

namespace {

constexpr std::int32_t kGet = 1;
constexpr std::int32_t kPost = 2;
constexpr const char* kAny2xx = "2*";

}  // namespace

HTTPTransfer::HTTPTransfer(TransferOptions options) : transfer_(std::move(options)) {}

void HTTPTransfer::setProxyPort(std::int32_t port) {
    proxyPort_ = port;
    transfer_.ProxyPort = port;
}

void HTTPTransfer::setProxyServer(std::string server) {
    proxyServer_ = server;
    transfer_.ProxyServer = std::move(server);
}

void HTTPTransfer::setUseProxy(bool use) {
    useProxy_ = use;
    transfer_.UseProxy = use;
}

void HTTPTransfer::setCustomProxySettings(bool custom) {
    customProxySettings_ = custom;
    transfer_.CustomProxySettings = custom;
}

template <typename Download>
bool HTTPTransfer::download(Verb verb, Download&& request) {
    transfer_.InitialiseSession();  // raises to the caller when no session can be made
    struct SessionCloser {
        Transfer& transfer;
        ~SessionCloser() { transfer.TerminateSession(); }
    } closer{transfer_};

    if (verb == Verb::PostWhenItemsQueued) {
        transfer_.RequestMethod = transfer_.PostItems->Count() > 0 ? kPost : kGet;
    } else if (verb == Verb::AlwaysPost) {
        transfer_.RequestMethod = kPost;
    }
    if (request()) {
        LastError.clear();
        return true;
    }
    LastError = transfer_.StatusText;
    if (transfer_.StatusCode != -1) {
        LastError += " " + std::to_string(transfer_.StatusCode);
    }
    return false;
}

Variant HTTPTransfer::GetURLAsBytes(const std::string& URL) {
    if (download(Verb::AlwaysGet, [&] { return transfer_.GetURL(URL, 1, kAny2xx); })) {
        return transfer_.Buffer;
    }
    return Variant();
}

std::string HTTPTransfer::bodyAsString(Verb verb, const std::string& URL) {
    if (download(verb, [&] { return transfer_.GetURL(URL, 0, kAny2xx); })) {
        return transfer_.Buffer.asString();
    }
    return "";
}

std::string HTTPTransfer::GetURLAsString(const std::string& URL) {
    return bodyAsString(Verb::PostWhenItemsQueued, URL);
}

std::string HTTPTransfer::PostFormBody(const std::string& URL, std::string body) {
    transfer_.PreparedBody = std::move(body);
    std::string answer = bodyAsString(Verb::AlwaysPost, URL);
    transfer_.PreparedBody.reset();
    return answer;
}

bool HTTPTransfer::GetURLAsFile(const std::string& URL, bool /*BinaryFile*/,
                                const std::string& LocalFileName) {
    return download(Verb::PostWhenItemsQueued,
                    [&] { return transfer_.GetURLToFile(URL, LocalFileName, kAny2xx); });
}

}  // namespace kx::errhandler
