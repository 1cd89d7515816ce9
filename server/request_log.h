#pragma once
// The server's log: one line per request (method, path, status, body bytes sent, and the time
// from the first byte of the request to the last byte of the answer) and notes on what failed
// inside. Paths are logged, never bodies or query strings, with control characters masked so that
// a request cannot forge log lines. Safe for concurrent use; a null stream logs nothing.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <string_view>

namespace kx::server {

class RequestLog {
  public:
    explicit RequestLog(std::ostream* out) : out_(out) {}

    void request(std::string_view method, std::string_view path, int status, std::uint64_t bytes,
                 std::chrono::steady_clock::duration took);
    void note(std::string_view text);

  private:
    std::ostream* out_;
    std::mutex mutex_;
};

}  // namespace kx::server
