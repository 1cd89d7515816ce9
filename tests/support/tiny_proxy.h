#pragma once
// Debian's tinyproxy, started for real on a loopback port for tests of proxied transfers.

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "tests/support/temp_dir.h"

namespace kx::test {

// tinyproxy in the foreground on 127.0.0.1, with its configuration and log in a temporary folder;
// the constructor returns once it accepts connections (bounded wait, std::runtime_error
// otherwise). It adds a "Via" header to every request it forwards. Stopped (SIGTERM) and reaped
// on destruction.
class TinyProxy {
  public:
    TinyProxy();
    ~TinyProxy();
    TinyProxy(const TinyProxy&) = delete;
    TinyProxy& operator=(const TinyProxy&) = delete;

    std::uint16_t port() const { return port_; }
    // "http://127.0.0.1:<port>", the form the proxy environment variables take.
    std::string url() const;

  private:
    TempDir dir_;
    std::uint16_t port_ = 0;
    pid_t pid_ = -1;
};

}  // namespace kx::test
