#pragma once
// Observing the end of the process in tests: while a ScopedProcessEndThrows lives, the crash
// capture's end-process action throws ProcessEnded instead of ending the test program, so a test
// sees the exit code and the stack unwinds.

#include <utility>

#include "launcher/crash/crash_support.h"

namespace kx::test {

// Not derived from std::exception, so that no trap of the code under test catches it.
struct ProcessEnded {
    int exitCode;
};

class ScopedProcessEndThrows {
  private:
    const crash::ScopedEndProcessAction guard_{[](int code) { throw ProcessEnded{code}; }};
};

// Runs `procedure` and returns the exit code it ended the process with, or -1 when it returned.
// Needs a ScopedProcessEndThrows in place.
template <typename Procedure>
int endCodeOf(Procedure&& procedure) {
    try {
        std::forward<Procedure>(procedure)();
    } catch (const ProcessEnded& ended) {
        return ended.exitCode;
    }
    return -1;
}

}  // namespace kx::test
