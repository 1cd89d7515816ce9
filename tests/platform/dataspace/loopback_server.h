#pragma once
// A real HTTP (or HTTPS) server on 127.0.0.1 and a port the kernel picks, running on its own
// thread for the life of the object. Each test installs the one handler it needs and reads back
// the raw requests the server received.

#include <httplib.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "scoped_environment.h"

namespace kx::test {

// The environment of a data-space test: no proxy configured on the machine running the tests.
struct TransportEnvironment : ScopedEnvironment {
    TransportEnvironment() { clearProxyVariables(); }
};

struct ReceivedRequest {
    std::string path;
    std::string body;
    httplib::Headers headers;

    std::string header(const std::string& name) const;
};

class LoopbackServer {
  public:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

    // Plain HTTP.
    explicit LoopbackServer(Handler handler);
    // HTTPS with the given certificate and key (ownership stays with the caller, who must keep
    // them alive as long as the server).
    LoopbackServer(Handler handler, X509* certificate, EVP_PKEY* key);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:<port>" + path (or "https://..." for a TLS server).
    std::string url(const std::string& path = "/") const;
    std::vector<ReceivedRequest> requests() const;

  private:
    void start(Handler handler);

    std::unique_ptr<httplib::Server> server_;
    std::string scheme_;
    int port_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<ReceivedRequest> requests_;
};

// Answers every POST with `status` and `body` as `contentType`.
LoopbackServer::Handler fixedAnswer(int status, std::string body,
                                    std::string contentType = "application/json");

}  // namespace kx::test
