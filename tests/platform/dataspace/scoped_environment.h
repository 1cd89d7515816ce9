#pragma once
// Sets or removes environment variables for the life of the object and restores their previous
// values afterwards. The proxy variables are cleared by default, so that a proxy configured on
// the machine running the tests cannot reroute calls to the loopback servers.

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kx::test {

class ScopedEnvironment {
  public:
    ScopedEnvironment() {
        for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy",
                                 "ALL_PROXY", "no_proxy", "NO_PROXY", "KX_CA_FILE"}) {
            unset(name);
        }
    }
    ~ScopedEnvironment() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second) {
                ::setenv(it->first.c_str(), it->second->c_str(), 1);
            } else {
                ::unsetenv(it->first.c_str());
            }
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    void set(const std::string& name, const std::string& value) {
        save(name);
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    void unset(const std::string& name) {
        save(name);
        ::unsetenv(name.c_str());
    }

  private:
    void save(const std::string& name) {
        const char* value = std::getenv(name.c_str());
        saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }

    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace kx::test
