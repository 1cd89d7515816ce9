#pragma once
// One environment variable set (or, with nullptr, removed) for the lifetime of the object and
// restored afterwards: a ScopedEnvironment for a single variable, handy as a fixture member.

#include <string>

#include "scoped_environment.h"

namespace kx::test {

class ScopedEnv {
  public:
    ScopedEnv(const std::string& name, const char* value) {
        if (value != nullptr) {
            environment_.set(name, value);
        } else {
            environment_.unset(name);
        }
    }
    ScopedEnv(const std::string& name, const std::string& value) : ScopedEnv(name, value.c_str()) {}

  private:
    ScopedEnvironment environment_;
};

}  // namespace kx::test
