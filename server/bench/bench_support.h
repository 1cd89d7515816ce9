#pragma once
// The pieces of kxserver's load benchmark: a catalog shaped like a busy office's, the server as a
// child process, a launcher's login, error reports, and latency figures.

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace kx::server::bench {

// A folder for one scenario, removed afterwards.
class Scratch {
  public:
    Scratch();
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    std::filesystem::path catalog() const { return path_ / "catalog"; }

  private:
    std::filesystem::path path_;
};

// A catalog in `dir` with two login servers (a BROKER and a CLIENT deployment), an install list
// of a few files and `users` users ("BENCH"/"U<n>", password "bench pass") granted both, all at
// the production password cost.
void createBenchCatalog(const std::filesystem::path& dir, int users);

// The login of user number `user`.
std::string benchLogin(int user);

// Runs `program` with `args`, its output thrown away; its exit code.
int runQuietly(const std::string& program, const std::vector<std::string>& args);
// Runs `program` with `args` and returns its standard output.
std::string runForOutput(const std::string& program, const std::vector<std::string>& args);

// Latencies collected from many threads.
class Latencies {
  public:
    void add(std::chrono::steady_clock::duration took);
    void addAll(const Latencies& other);
    std::size_t count() const;
    // The latency below which `fraction` of them lie, in milliseconds.
    double percentile(double fraction) const;

  private:
    mutable std::mutex mutex_;
    std::vector<double> milliseconds_;
};

// One line of figures: count, median, 99th percentile and largest.
void printLatencies(const char* what, const Latencies& latencies);

// One launcher's full login as user number `user` against `url`: discovery, a password check
// at each login server, the login, the group's stamp, its install list and the login notes.
// The latency of each call that carries the password goes to `passwordCalls`, of the others to
// `otherCalls`; false when any call failed.
bool launcherLogin(const std::string& url, int user, Latencies& passwordCalls,
                   Latencies& otherCalls);

// Posts one error report carrying `marker` as its Routine; true when it was answered "1".
bool postReport(const std::string& url, const std::string& marker);

}  // namespace kx::server::bench
