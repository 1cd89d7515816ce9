#pragma once
// SIGTERM blocked in the calling thread while one lives. A program started meanwhile inherits the
// block across exec and so takes SIGTERM only once it has set up its own handling: a test may end
// it as the session's end does at any moment, however early.

#include <signal.h>

namespace kx::test {

class BlockedTermination {
  public:
    BlockedTermination() {
        sigset_t termination;
        sigemptyset(&termination);
        sigaddset(&termination, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &termination, &previous_);
    }
    ~BlockedTermination() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    BlockedTermination(const BlockedTermination&) = delete;
    BlockedTermination& operator=(const BlockedTermination&) = delete;

  private:
    sigset_t previous_{};
};

}  // namespace kx::test
