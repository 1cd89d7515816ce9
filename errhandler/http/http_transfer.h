#pragma once
// HTTPTransfer: the convenient front of Transfer. Each download opens a fresh session with the
// current proxy properties, makes one request, closes the session again and returns the body; a
// failure gives an empty result and a readable reason in LastError. Only a session that cannot be
// opened raises (the RuntimeError of Transfer::InitialiseSession), leaving LastError unchanged.

#include <cstdint>
#include <memory>
#include <string>

#include "errhandler/http/transfer.h"

namespace kx::errhandler {

class HTTPTransfer {
  public:
    explicit HTTPTransfer(TransferOptions options = {});

    std::string UserName;  // stored only; no request uses it
    std::string Password;  // stored only; no request uses it
    // "" after a successful download; after a failed one the engine's StatusText, followed by " "
    // and the status code unless that code is -1 (for example "Not Found 404").
    std::string LastError;

    std::int32_t ProxyPort() const { return proxyPort_; }
    void setProxyPort(std::int32_t port);
    const std::string& ProxyServer() const { return proxyServer_; }
    void setProxyServer(std::string server);
    bool UseProxy() const { return useProxy_; }
    void setUseProxy(bool use);
    bool CustomProxySettings() const { return customProxySettings_; }
    void setCustomProxySettings(bool custom);
    std::int32_t TimeOut() const { return timeOut_; }
    void setTimeOut(std::int32_t seconds) { timeOut_ = seconds; }  // stored only

    // Always a GET, even with items queued. The body as a byte array, or Empty on failure.
    Variant GetURLAsBytes(const std::string& URL);
    // A POST of PostItems when it holds any item, else a GET. The body, or "" on failure.
    std::string GetURLAsString(const std::string& URL);
    // A POST of `body`, a form already encoded (a report read back from the spool), as it stands:
    // PostItems are not sent. The answer, or "" on failure, as GetURLAsString.
    std::string PostFormBody(const std::string& URL, std::string body);
    // As GetURLAsString, into LocalFileName (see Transfer::GetURLToFile). BinaryFile is not used.
    bool GetURLAsFile(const std::string& URL, bool BinaryFile, const std::string& LocalFileName);

    // The engine's own collection: items added to it are sent by the next POST. They stay after a
    // download; Reset replaces the collection with a new, empty one.
    std::shared_ptr<Collection> PostItems() const { return transfer_.PostItems; }
    void Reset() { transfer_.Reset(); }

    // The engine, for diagnostics (status fields, libcurl's last failure).
    const Transfer& engine() const { return transfer_; }

  private:
    enum class Verb : std::uint8_t { AlwaysGet, AlwaysPost, PostWhenItemsQueued };
    template <typename Download>
    bool download(Verb verb, Download&& request);
    std::string bodyAsString(Verb verb, const std::string& URL);

    Transfer transfer_;
    std::int32_t proxyPort_ = 0;
    std::string proxyServer_;
    bool useProxy_ = false;
    bool customProxySettings_ = false;
    std::int32_t timeOut_ = 0;
};

}  // namespace kx::errhandler
