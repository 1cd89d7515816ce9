#pragma once
// RawHttpListener: a plain TCP server on 127.0.0.1 that records the exact bytes of every request
// it receives and answers each one with the same canned response, or with nothing at all (to
// test time-outs). Stands in for a web server where a test must see the request on the wire.

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kx::test {

class RawHttpListener {
  public:
    enum class Mode : std::uint8_t { Answer, NeverAnswer };

    explicit RawHttpListener(std::string response, Mode mode = Mode::Answer);
    ~RawHttpListener();
    RawHttpListener(const RawHttpListener&) = delete;
    RawHttpListener& operator=(const RawHttpListener&) = delete;

    std::uint16_t port() const { return port_; }
    std::string url(const std::string& path) const;
    // The requests received so far (head and body), in arrival order. A request is recorded
    // before its answer is sent, so it is here once the client has the answer.
    std::vector<std::string> requests() const;

  private:
    void serve();
    void handle(int connection);
    bool readRequest(int connection, std::string& request);
    bool waitReadable(int fd);

    std::string response_;
    Mode mode_;
    int listener_ = -1;
    int stopPipe_[2] = {-1, -1};
    std::uint16_t port_ = 0;
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

// A canned HTTP/1.0 response with the given status line tail ("200 OK") and body.
std::string httpResponse(const std::string& status, const std::string& body);

// The index of a header line "Name: value" in a recorded request, or npos.
std::size_t findHeader(const std::string& request, const std::string& line);

// A loopback port on which nothing accepts connections: the socket is bound but never listens,
// so a connection attempt is refused at once. Held for the object's lifetime.
class RefusingPort {
  public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    std::uint16_t port() const { return port_; }

  private:
    int socket_ = -1;
    std::uint16_t port_ = 0;
};

// Binds a TCP socket to 127.0.0.1 port 0 and returns it with the port the system chose.
int bindLoopback(std::uint16_t& port);

}  // namespace kx::test
