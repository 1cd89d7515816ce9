#include "raw_http_listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace kx::test {
namespace {

constexpr std::size_t kMaxRequestBytes = 1 << 20;

std::size_t contentLength(const std::string& head) {
    static const std::string kName = "\r\ncontent-length:";
    std::string lowered = head;
    for (char& c : lowered) {
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    const auto at = lowered.find(kName);
    return at == std::string::npos ? 0 : std::stoul(head.substr(at + kName.size()));
}

}  // namespace

int bindLoopback(std::uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("cannot bind a loopback socket");
    }
    port = ntohs(address.sin_port);
    return fd;
}

RawHttpListener::RawHttpListener(std::string response, Mode mode)
    : response_(std::move(response)), mode_(mode) {
    listener_ = bindLoopback(port_);
    if (::listen(listener_, 8) != 0 || ::pipe2(stopPipe_, O_CLOEXEC) != 0) {
        throw std::runtime_error("cannot start the listener");
    }
    thread_ = std::thread([this] { serve(); });
}

RawHttpListener::~RawHttpListener() {
    const char stop = 's';
    [[maybe_unused]] const auto written = ::write(stopPipe_[1], &stop, 1);
    thread_.join();
    ::close(listener_);
    ::close(stopPipe_[0]);
    ::close(stopPipe_[1]);
}

std::string RawHttpListener::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> RawHttpListener::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

bool RawHttpListener::waitReadable(int fd) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    return ::poll(fds, 2, -1) > 0 && (fds[1].revents & POLLIN) == 0;
}

void RawHttpListener::serve() {
    while (waitReadable(listener_)) {
        const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection >= 0) {
            handle(connection);
            ::close(connection);
        }
    }
}

bool RawHttpListener::readRequest(int connection, std::string& request) {
    char buffer[4096];
    std::size_t headEnd = std::string::npos;
    while (request.size() < kMaxRequestBytes) {
        if (headEnd == std::string::npos) {
            headEnd = request.find("\r\n\r\n");
        }
        if (headEnd != std::string::npos &&
            request.size() >= headEnd + 4 + contentLength(request.substr(0, headEnd + 2))) {
            return true;
        }
        if (!waitReadable(connection)) {
            return false;
        }
        const auto received = ::recv(connection, buffer, sizeof buffer, 0);
        if (received <= 0) {
            return false;
        }
        request.append(buffer, static_cast<std::size_t>(received));
    }
    return false;
}

void RawHttpListener::handle(int connection) {
    std::string request;
    const bool complete = readRequest(connection, request);
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
    }
    if (!complete) {
        return;
    }
    if (mode_ == Mode::NeverAnswer) {
        // Hold the connection silently until the client gives up or the test ends.
        char byte;
        while (waitReadable(connection) && ::recv(connection, &byte, 1, 0) > 0) {
        }
        return;
    }
    std::size_t sent = 0;
    while (sent < response_.size()) {
        const auto n =
            ::send(connection, response_.data() + sent, response_.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return;
        }
        sent += static_cast<std::size_t>(n);
    }
    ::shutdown(connection, SHUT_WR);
}

std::string httpResponse(const std::string& status, const std::string& body) {
    return "HTTP/1.0 " + status + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nContent-Type: application/octet-stream\r\n\r\n" + body;
}

std::size_t findHeader(const std::string& request, const std::string& line) {
    return request.find("\r\n" + line + "\r\n");
}

RefusingPort::RefusingPort() {
    socket_ = bindLoopback(port_);
}

RefusingPort::~RefusingPort() {
    ::close(socket_);
}

}  // namespace kx::test
