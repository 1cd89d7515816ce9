#include "tests/support/scoped_environment.h"

#include <cstdlib>

namespace kx::test {

ScopedEnvironment::ScopedEnvironment(const std::string& name,
                                     const std::optional<std::string>& value) {
    if (value) {
        set(name, *value);
    } else {
        unset(name);
    }
}

ScopedEnvironment::~ScopedEnvironment() {
    for (const auto& [name, value] : saved_) {
        if (value) {
            ::setenv(name.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(name.c_str());
        }
    }
}

void ScopedEnvironment::remember(const std::string& name) {
    if (!saved_.contains(name)) {
        const char* current = std::getenv(name.c_str());
        saved_[name] = current != nullptr ? std::optional<std::string>(current) : std::nullopt;
    }
}

void ScopedEnvironment::set(const std::string& name, const std::string& value) {
    remember(name);
    ::setenv(name.c_str(), value.c_str(), 1);
}

void ScopedEnvironment::unset(const std::string& name) {
    remember(name);
    ::unsetenv(name.c_str());
}

void ScopedEnvironment::clearProxyVariables() {
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy",
                             "ALL_PROXY", "no_proxy", "NO_PROXY"}) {
        unset(name);
    }
}

}  // namespace kx::test
