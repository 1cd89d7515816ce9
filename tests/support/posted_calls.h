#pragma once
// The event queue of a window stand-in: calls posted from any thread, run in order by the thread
// that drains the queue (its DoEvents).

#include <deque>
#include <functional>
#include <mutex>

namespace kx::test {

class PostedCalls {
  public:
    void post(std::function<void()> call) {
        const std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }
    // Runs the calls posted so far; calls they post wait for the next turn.
    void runPosted() {
        std::deque<std::function<void()>> ready;
        {
            const std::lock_guard lock(mutex_);
            ready.swap(calls_);
        }
        for (auto& call : ready) {
            call();
        }
    }

  private:
    std::mutex mutex_;
    std::deque<std::function<void()>> calls_;
};

}  // namespace kx::test
