#pragma once
// The one web server of the tests: HTTP, or HTTPS with a test certificate, on 127.0.0.1 and a
// port the kernel picks, serving on its own thread for the object's lifetime. It records every
// request exactly as it arrived and lets the test's handler write the answer: a whole answer, or
// raw bytes with pauses and an early close to play a faulty server, or nothing at all.
//
// It serves one connection at a time and one request per connection; answer() says
// "Connection: close", so clients open a new connection for their next request.

#include <openssl/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kx::test {

struct HttpRequest {
    std::string raw;  // head and body, byte for byte
    std::string method;
    std::string path;  // the request target as sent
    std::string body;

    // The value of the first header called `name` (in any case), or "" when there is none.
    std::string header(std::string_view name) const;
};

// One accepted connection, plain or TLS, that gives up when the server stops: what a handler
// writes its answer through. Once the handler returns, the connection closes.
class HttpReply {
  public:
    HttpReply(int fd, SSL* ssl, int stopFd) : fd_(fd), ssl_(ssl), stopFd_(stopFd) {}
    // Sends `bytes` as they stand; false once the client has gone.
    bool send(std::string_view bytes);
    // A complete HTTP/1.1 answer with Content-Length, Content-Type and "Connection: close".
    bool answer(int status, std::string_view body, std::string_view contentType = "text/plain");
    // Pauses for `time`, or less when the server stops.
    void pause(std::chrono::milliseconds time) const;
    // Waits, answering nothing, until the client closes the connection or the server stops.
    void holdUntilClosed();
    // Waits until there is something to read, or `timeoutMs` passed (-1: no limit); false when
    // the server stops or the time passed.
    bool waitReadable(int timeoutMs = -1) const;
    // Reads what has arrived; 0 or less when the client closed or the connection failed.
    long receive(char* buffer, std::size_t size);

  private:
    int fd_;
    SSL* ssl_;
    int stopFd_;
};

// A certificate and key for an HTTPS server; they stay the caller's and must outlive the server.
struct ServerTls {
    X509* certificate;
    EVP_PKEY* key;
};

class LoopbackHttpServer {
  public:
    using Handler = std::function<void(const HttpRequest&, HttpReply&)>;

    // Throws std::runtime_error when it cannot listen.
    explicit LoopbackHttpServer(Handler handler, std::optional<ServerTls> tls = std::nullopt);
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    std::uint16_t port() const { return port_; }
    // "http://127.0.0.1:<port>" + path, or "https://..." with TLS.
    std::string url(const std::string& path = "/") const;
    // The requests received so far, in arrival order; a request is recorded before it is answered.
    std::vector<HttpRequest> requests() const;

  private:
    void serve();
    void handle(int fd);

    Handler handler_;
    std::unique_ptr<SSL_CTX, void (*)(SSL_CTX*)> tls_;
    int listener_ = -1;
    int stopPipe_[2] = {-1, -1};
    std::uint16_t port_ = 0;
    mutable std::mutex mutex_;
    std::vector<HttpRequest> requests_;
    std::thread thread_;
};

// Answers every request with `status` and `body` as `contentType`.
LoopbackHttpServer::Handler fixedAnswer(int status, std::string body,
                                        std::string contentType = "application/json");
// Answers every request with `bytes` as they stand (a whole response, or a broken one).
LoopbackHttpServer::Handler rawAnswer(std::string bytes);
// Reads each request and never answers it.
LoopbackHttpServer::Handler noAnswer();

// A complete HTTP/1.0 response with the status line tail `status` ("200 OK") and `body`.
std::string httpResponse(const std::string& status, const std::string& body);

// Binds a TCP socket to 127.0.0.1 and a port the kernel picks; returns the socket and sets `port`.
// Throws std::runtime_error when it cannot.
int bindLoopback(std::uint16_t& port);
// Opens a TCP connection to 127.0.0.1:`port` and returns its socket, or -1 when it is refused.
// With SOCK_NONBLOCK among `socketFlags`, a connection still being set up counts as opened.
int connectLoopback(std::uint16_t port, int socketFlags = 0, const char* from = nullptr);
// A loopback port on which nothing listens (it was free a moment ago).
std::uint16_t unusedLoopbackPort();

// A loopback port on which a connection is refused at once: bound, never listening, held for the
// object's lifetime.
class RefusingPort {
  public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    std::uint16_t port() const { return port_; }
    std::string url(const std::string& path = "/") const;

  private:
    int socket_ = -1;
    std::uint16_t port_ = 0;
};

}  // namespace kx::test
