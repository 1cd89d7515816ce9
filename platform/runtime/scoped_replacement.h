#pragma once
// A process-wide replaceable action (the message box, the end of the process) replaced for the
// lifetime of one object: `Set` installs the new action and returns the previous one, which the
// destructor puts back.

#include <utility>

namespace kx {

template <typename Action, Action (*Set)(Action)>
class ScopedReplacement {
  public:
    explicit ScopedReplacement(Action action) : previous_(Set(std::move(action))) {}
    ~ScopedReplacement() { Set(std::move(previous_)); }
    ScopedReplacement(const ScopedReplacement&) = delete;
    ScopedReplacement& operator=(const ScopedReplacement&) = delete;

  private:
    Action previous_;
};

}  // namespace kx
