#pragma once
// What kxserver answers, apart from the HTTP plumbing: remote calls (POST, JSON) at the root and at
// every business-object path, install files (GET, HEAD) under each deployment's address, and the
// error-report form at "/GenErrorReport.asp" (any case).
//
// Work runs on two small pools: calls that check a password (isValidLogin, LoginUser) on a pool
// of the configured size, taken in turns by client address (fair_queue.h), and everything else on
// its own pool, so that a flood of logins or guesses never delays downloads, reports or other
// calls. No pool thread ever waits for a client: requests reach the router whole, and a guess
// that password_checks.h does not admit is answered at once as a failed login.
//
// Error reports are limited per client address and minute (429 beyond), and the report store
// never drops a stored report for a new one: a report that would pass its cap is refused with 503
// and a Retry-After of an hour, one larger than the cap with 413. A body in a content encoding
// other than identity is refused with 415 everywhere.
//
// Refusals never show internal messages (those go to the log), and a refusal at the report address
// never contains a digit, since the error-report client counts any answer with the digit one as a
// stored report; the log says why each such report was not stored.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "server/http_message.h"

namespace kx::server {

class SharedCatalog;
class RequestLog;
struct ServerOptions;
class TrustedProxies;

// Whether a request is read on, judged on its header alone.
struct Admission {
    std::size_t bodyLimit = 0;         // the largest body to read
    std::optional<HttpReply> refusal;  // set: answer this without reading the body
};

class RequestRouter {
  public:
    // `options` and `baseUrl` must outlive the router. Throws std::invalid_argument for a
    // trusted proxy that is not an address.
    RequestRouter(const ServerOptions& options, const std::string& baseUrl, SharedCatalog& catalog,
                  RequestLog& log);
    ~RequestRouter();
    RequestRouter(const RequestRouter&) = delete;
    RequestRouter& operator=(const RequestRouter&) = delete;

    // A method other than GET, HEAD and POST, a multipart body (which nothing here reads), a
    // body in a content encoding other than identity and a declared body beyond the route's
    // limit are refused at once.
    Admission admit(const std::string& method, const std::string& path,
                    const std::string& contentType, const std::string& contentEncoding,
                    std::optional<std::uint64_t> contentLength) const;
    // The client of a request from `peer` with these X-Forwarded-For lines (trusted_proxies.h).
    std::string clientAddress(const std::string& peer, std::string_view forwardedFor) const;
    // Answers a whole request: `done` runs once, on a pool thread, unless the server stops first.
    void dispatch(HttpRequest request, std::function<void(HttpReply)> done);
    // The answer to a request refused for the reason given (a sentence without digits), in the
    // form its address calls for: text at the report address and for downloads, a remote-call
    // error elsewhere. `path` may be empty when the request could not be read.
    HttpReply refusal(int status, const std::string& method, const std::string& path,
                      const std::string& reason) const;
    // Drops the work not yet started and waits for the work under way.
    void stop();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kx::server
