#include "tests/support/loopback_http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <map>
#include <stdexcept>

#include "platform/text/ascii_text.h"

namespace kx::test {

namespace {

constexpr std::size_t kMaxRequestBytes = 16u << 20;
constexpr int kIdleLimitMs = 10000;

sockaddr_in loopbackAddress(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

// The value of header `name` in `head` (the request line and header lines, CRLF-separated).
std::string headerIn(std::string_view head, std::string_view name) {
    for (std::size_t at = head.find("\r\n"); at != std::string_view::npos;) {
        const std::size_t start = at + 2;
        at = head.find("\r\n", start);
        const std::string_view line = head.substr(start, at - start);
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos && ascii::equalsNoCase(line.substr(0, colon), name)) {
            return std::string(ascii::trimSpaces(line.substr(colon + 1)));
        }
    }
    return {};
}

// Reads one request into `request`; false when the client stopped before it was complete.
bool readRequest(HttpReply& connection, HttpRequest& request) {
    std::string& raw = request.raw;
    std::size_t headEnd = std::string::npos;
    std::size_t bodyLength = 0;
    char buffer[16384];
    while (raw.size() < kMaxRequestBytes) {
        if (headEnd == std::string::npos && (headEnd = raw.find("\r\n\r\n")) != std::string::npos) {
            const std::string_view head(raw.data(), headEnd);
            const std::string length = headerIn(head, "Content-Length");
            // A length that is no number counts as no body.
            std::from_chars(length.data(), length.data() + length.size(), bodyLength);
            if (ascii::equalsNoCase(headerIn(head, "Expect"), "100-continue")) {
                connection.send("HTTP/1.1 100 Continue\r\n\r\n");
            }
        }
        if (headEnd != std::string::npos && raw.size() >= headEnd + 4 + bodyLength) {
            const std::size_t space = raw.find(' ');
            request.method = raw.substr(0, space);
            request.path = raw.substr(space + 1, raw.find(' ', space + 1) - space - 1);
            request.body = raw.substr(headEnd + 4);
            return true;
        }
        const long received =
            connection.waitReadable(kIdleLimitMs) ? connection.receive(buffer, sizeof buffer) : 0;
        if (received <= 0) {
            return false;
        }
        raw.append(buffer, static_cast<std::size_t>(received));
    }
    return false;
}

const char* reasonOf(int status) {
    static const std::map<int, const char*> kReasons{{200, "OK"},
                                                     {404, "Not Found"},
                                                     {500, "Internal Server Error"},
                                                     {502, "Bad Gateway"},
                                                     {503, "Service Unavailable"}};
    const auto known = kReasons.find(status);
    return known != kReasons.end() ? known->second : "Status";
}

}  // namespace

std::string HttpRequest::header(std::string_view name) const {
    return headerIn(std::string_view(raw).substr(0, raw.find("\r\n\r\n")), name);
}

bool HttpReply::waitReadable(int timeoutMs) const {
    if (ssl_ != nullptr && SSL_pending(ssl_) > 0) {
        return true;
    }
    pollfd fds[2] = {{fd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
    return ::poll(fds, 2, timeoutMs) > 0 && (fds[1].revents & POLLIN) == 0 && fds[0].revents != 0;
}

long HttpReply::receive(char* buffer, std::size_t size) {
    return ssl_ != nullptr ? SSL_read(ssl_, buffer, static_cast<int>(size))
                           : ::recv(fd_, buffer, size, 0);
}

bool HttpReply::send(std::string_view bytes) {
    while (!bytes.empty()) {
        const long sent = ssl_ != nullptr
                              ? SSL_write(ssl_, bytes.data(), static_cast<int>(bytes.size()))
                              : ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

bool HttpReply::answer(int status, std::string_view body, std::string_view contentType) {
    return send("HTTP/1.1 " + std::to_string(status) + " " + reasonOf(status) +
                "\r\nContent-Type: " + std::string(contentType) + "\r\nContent-Length: " +
                std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n") &&
           send(body);
}

void HttpReply::pause(std::chrono::milliseconds time) const {
    pollfd stop{stopFd_, POLLIN, 0};
    ::poll(&stop, 1, static_cast<int>(time.count()));
}

void HttpReply::holdUntilClosed() {
    char byte = 0;
    while (waitReadable() && receive(&byte, 1) > 0) {
    }
}

int connectLoopback(std::uint16_t port, int socketFlags, const char* from) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | socketFlags, 0);
    const sockaddr_in address = loopbackAddress(port);
    sockaddr_in local = loopbackAddress(0);
    if (fd >= 0 && from != nullptr &&
        (::inet_pton(AF_INET, from, &local.sin_addr) != 1 ||
         ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)) {
        ::close(fd);
        return -1;
    }
    if (fd >= 0 &&
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
        errno != EINPROGRESS) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int bindLoopback(std::uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopbackAddress(0);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        throw std::runtime_error("cannot bind a loopback socket");
    }
    port = ntohs(address.sin_port);
    return fd;
}

LoopbackHttpServer::LoopbackHttpServer(Handler handler, std::optional<ServerTls> tls)
    : handler_(std::move(handler)), tls_(nullptr, SSL_CTX_free) {
    if (tls) {
        tls_.reset(SSL_CTX_new(TLS_server_method()));
        if (!tls_ || SSL_CTX_use_certificate(tls_.get(), tls->certificate) != 1 ||
            SSL_CTX_use_PrivateKey(tls_.get(), tls->key) != 1) {
            throw std::runtime_error("cannot set up TLS for the loopback server");
        }
    }
    listener_ = bindLoopback(port_);
    if (::listen(listener_, 16) != 0 || ::pipe2(stopPipe_, O_CLOEXEC) != 0) {
        ::close(listener_);
        throw std::runtime_error("the loopback server cannot listen");
    }
    thread_ = std::thread([this] { serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    const char stop = 's';
    [[maybe_unused]] const auto written = ::write(stopPipe_[1], &stop, 1);
    thread_.join();
    ::close(listener_);
    ::close(stopPipe_[0]);
    ::close(stopPipe_[1]);
}

std::string LoopbackHttpServer::url(const std::string& path) const {
    return (tls_ ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port_) + path;
}

std::vector<HttpRequest> LoopbackHttpServer::requests() const {
    const std::lock_guard lock(mutex_);
    return requests_;
}

void LoopbackHttpServer::serve() {
    // A client that hangs up makes a TLS write raise SIGPIPE in this thread: blocked here, the
    // write fails with EPIPE instead of ending the test program.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
    // The stop-aware wait of a connection serves the listening socket too.
    const HttpReply listener(listener_, nullptr, stopPipe_[0]);
    while (listener.waitReadable()) {
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) {
            handle(fd);
            ::close(fd);
        }
    }
}

void LoopbackHttpServer::handle(int fd) {
    // A bounded handshake: a client that connects and stalls cannot hold the server for ever.
    const timeval limit{kIdleLimitMs / 1000, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    std::unique_ptr<SSL, void (*)(SSL*)> ssl(nullptr, SSL_free);
    if (tls_) {
        ssl.reset(SSL_new(tls_.get()));
        if (!ssl || SSL_set_fd(ssl.get(), fd) != 1 || SSL_accept(ssl.get()) != 1) {
            return;  // the client refused the certificate, or spoke no TLS
        }
    }
    HttpReply reply(fd, ssl.get(), stopPipe_[0]);
    HttpRequest request;
    const bool complete = readRequest(reply, request);
    request.received = std::chrono::steady_clock::now();
    if (!request.raw.empty()) {
        const std::lock_guard lock(mutex_);
        requests_.push_back(request);
    }
    if (complete) {
        handler_(request, reply);
    }
    if (ssl) {
        SSL_shutdown(ssl.get());
    }
    ::shutdown(fd, SHUT_WR);
}

LoopbackHttpServer::Handler fixedAnswer(int status, std::string body, std::string contentType) {
    return [status, body = std::move(body), contentType = std::move(contentType)](
               const HttpRequest&, HttpReply& reply) { reply.answer(status, body, contentType); };
}

LoopbackHttpServer::Handler rawAnswer(std::string bytes) {
    return [bytes = std::move(bytes)](const HttpRequest&, HttpReply& reply) { reply.send(bytes); };
}

LoopbackHttpServer::Handler noAnswer() {
    return [](const HttpRequest&, HttpReply& reply) { reply.holdUntilClosed(); };
}

std::string httpResponse(const std::string& status, const std::string& body) {
    return "HTTP/1.0 " + status + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nContent-Type: application/octet-stream\r\n\r\n" + body;
}

std::uint16_t unusedLoopbackPort() {
    std::uint16_t port = 0;
    ::close(bindLoopback(port));
    return port;
}

RefusingPort::RefusingPort() {
    socket_ = bindLoopback(port_);
}

RefusingPort::~RefusingPort() {
    ::close(socket_);
}

std::string RefusingPort::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

}  // namespace kx::test
