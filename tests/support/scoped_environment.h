#pragma once
// Environment variables changed for the length of a test and restored afterwards.

#include <map>
#include <optional>
#include <string>

namespace kx::test {

// Sets or clears environment variables and restores each one's previous state (value or absence)
// when it goes away. The two-argument form sets (or, with nullopt, clears) one variable at once,
// handy as a fixture member.
class ScopedEnvironment {
  public:
    ScopedEnvironment() = default;
    ScopedEnvironment(const std::string& name, const std::optional<std::string>& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    void set(const std::string& name, const std::string& value);
    void unset(const std::string& name);
    // Clears every variable through which libcurl picks a proxy, in both spellings, so that a proxy
    // configured on the machine running the tests cannot reroute calls to loopback servers.
    void clearProxyVariables();

  private:
    void remember(const std::string& name);
    std::map<std::string, std::optional<std::string>> saved_;
};

// The environment of a test that talks to loopback servers: no proxy variables.
struct ProxyFreeEnvironment : ScopedEnvironment {
    ProxyFreeEnvironment() { clearProxyVariables(); }
};

}  // namespace kx::test
