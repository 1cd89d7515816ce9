#pragma once
// How work that a background thread finishes reaches the window's thread: the window (or a test's
// stand-in for it) queues the call and runs it from its event processing, in the order posted.

#include <functional>

namespace kx::inet {

class UiThreadPoster {
  public:
    virtual ~UiThreadPoster() = default;
    // Queues `call` to run later on the user-interface thread, from within its event processing
    // (DoEvents, or the event loop). Safe to call from any thread; never runs `call` at once.
    virtual void postToUiThread(std::function<void()> call) = 0;
};

}  // namespace kx::inet
