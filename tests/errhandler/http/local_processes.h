#pragma once
// Outside helpers the HTTP tests start for real: Debian's tinyproxy on a loopback port, and
// environment variables changed for the length of a test.

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "temp_dir.h"

namespace kx::test {

// Sets or clears environment variables and restores the previous values when it goes away.
class ScopedEnvironment {
  public:
    ScopedEnvironment() = default;
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    void set(const std::string& name, const std::string& value);
    void unset(const std::string& name);
    // Clears every variable through which libcurl picks a proxy, in both spellings.
    void clearProxyVariables();

  private:
    void remember(const std::string& name);
    std::map<std::string, std::optional<std::string>> saved_;
};

// tinyproxy in the foreground on 127.0.0.1, with its configuration and log in a temporary folder.
// It adds a "Via" header to every request it forwards. Stopped (SIGTERM) and reaped on destruction.
class TinyProxy {
  public:
    TinyProxy();
    ~TinyProxy();
    TinyProxy(const TinyProxy&) = delete;
    TinyProxy& operator=(const TinyProxy&) = delete;

    std::uint16_t port() const { return port_; }

  private:
    TempDir dir_;
    std::uint16_t port_ = 0;
    pid_t pid_ = -1;
};

// Writes a self-signed certificate for "localhost" (and its key) with the openssl tool.
void makeSelfSignedCertificate(const std::string& certFile, const std::string& keyFile);

}  // namespace kx::test
