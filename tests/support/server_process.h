#pragma once
// `kxserver serve` as a child process, for the benchmark and the tests that need the real server.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace kx::test {

// `kxserver serve DIR --port PORT [--public-url URL]` started from `program`, its log appended to
// serve.log beside DIR. Stopped (SIGTERM, then waited for) when the object goes away, and killed
// when the thread that started it ends first. Throws std::runtime_error when it does not start.
class ServerProcess {
  public:
    // `port` 0 takes a free one; a `publicUrl` (which the server then announces instead of its
    // address) needs a port chosen by the caller. `options` are further options of serve.
    ServerProcess(const std::string& program, const std::filesystem::path& dir, int port,
                  const std::string& publicUrl = {}, const std::vector<std::string>& options = {});
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Where it listens ("http://127.0.0.1:PORT").
    const std::string& url() const { return url_; }
    int port() const;
    pid_t pid() const { return pid_; }
    // Processor time the server has used so far (user and system), in seconds.
    double cpuSeconds() const;
    // The most memory the server has held resident so far, in KiB (0 when it cannot be read).
    long peakResidentKiB() const;
    // Sends `signal` and waits for the end: the exit code (128 + the signal when a signal ended
    // it), or -1 when it has not ended `within` that time (it is killed then).
    int stop(int signal, std::chrono::seconds within = std::chrono::seconds(20));

  private:
    pid_t pid_ = 0;
    std::string url_;
};

}  // namespace kx::test
