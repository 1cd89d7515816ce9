#include "server/serve_until_stopped.h"

#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <thread>

namespace kx::server {

namespace {

// Raises the soft limit of open files to the hard one. The server runs on with the lower limit
// when the system refuses, and says so: it will refuse connections sooner.
void raiseOpenFileLimit(std::ostream* log) {
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur >= files.rlim_max) {
        return;
    }
    const rlim_t wanted = files.rlim_max;
    files.rlim_cur = wanted;
    if (setrlimit(RLIMIT_NOFILE, &files) != 0 && log != nullptr) {
        *log << "the limit of open files stays below " << wanted << ": " << std::strerror(errno)
             << std::endl;
    }
}

// SIGINT and SIGTERM, blocked in this thread and the threads it starts for as long as the object
// lives, so that one thread takes them with wait() rather than a handler: stopping the server
// then runs as ordinary code. Made before any server thread exists.
class StopSignals {
  public:
    StopSignals() {
        sigemptyset(&signals_);
        sigaddset(&signals_, SIGINT);
        sigaddset(&signals_, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &signals_, &previous_);
    }
    ~StopSignals() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    void wait() const {
        int signal = 0;
        sigwait(&signals_, &signal);
    }

  private:
    sigset_t signals_{};
    sigset_t previous_{};
};

}  // namespace

void serveUntilStopped(ServerOptions options, std::ostream& out) {
    raiseOpenFileLimit(options.log);

    const StopSignals stopSignals;
    KxServer server(std::move(options));
    out << server.bind() << std::endl;
    std::atomic<bool> finished{false};
    std::thread waiter([&] {
        stopSignals.wait();
        if (!finished) {
            server.stop();
        }
    });
    server.run();
    // Wakes the waiter, should it still wait.
    finished = true;
    pthread_kill(waiter.native_handle(), SIGTERM);
    waiter.join();
}

}  // namespace kx::server
