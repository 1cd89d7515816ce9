#pragma once
// The reference server for the launcher's flow tests: catalogs built with kxserver's own
// administrator's command line, `kxserver serve` as a child process on a free loopback port, and a
// relay that passes the launcher's calls on to it while keeping a copy of each request.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "loopback_http_server.h"

namespace kx::test {

// Runs `kxserver ARGS...` to its end and returns its standard output; throws std::runtime_error
// with the exit code when it fails.
std::string kxserver(const std::vector<std::string>& args);

// `kxserver serve DIR --port 0 [--public-url URL]`, stopped (SIGTERM, then waited for) when the
// object goes away, and killed with the test if the test dies first. Its log goes to serve.log
// beside the catalog folder.
class ServeProcess {
  public:
    explicit ServeProcess(const std::filesystem::path& catalogDir,
                          const std::string& publicUrl = {});
    ~ServeProcess();
    ServeProcess(const ServeProcess&) = delete;
    ServeProcess& operator=(const ServeProcess&) = delete;

    // Where it listens ("http://127.0.0.1:PORT"); with a public URL its lists name that instead.
    const std::string& url() const { return url_; }
    pid_t pid() const { return pid_; }
    // Sends `signal` and waits for the end: the exit code (128 + the signal when a signal ended
    // it), or -1 when it has not ended `within` that time (it is killed then).
    int stop(int signal, std::chrono::seconds within = std::chrono::seconds(20));

  private:
    pid_t pid_ = 0;
    std::string url_;
};

// How the relay spoils the download of one file, to play a server that misbehaves.
enum class DownloadFault {
    ServerError,    // status 500 with an error page
    ShortBody,      // Content-Length promises more than is sent, then the connection closes
    Chunked,        // no Content-Length: the body comes chunked, and completely
    BrokenChunked,  // chunked, and the connection closes in the middle
    OneByteChunk,   // Content-Length, the body in three pieces with pauses: 3000 bytes, 1, the rest
    Tampered,       // the right length, one byte changed
};

// A loopback server that forwards every POST and GET to `target` (same path and body) and answers
// with the target's answer. Answers to POSTs can be rewritten, and downloads spoiled by file name.
class RecordingRelay {
  public:
    using AnswerRewrite = std::function<std::string(std::string answer)>;

    // "http://127.0.0.1:<port>"
    std::string url() const { return server_.url(""); }
    // Where requests go; set before the first request arrives.
    void forwardTo(const std::string& target) { target_ = target; }
    // The remote calls (POSTs) received so far.
    std::vector<HttpRequest> requests() const;
    // Passes every POST answer through `rewrite` from now on.
    void rewriteAnswers(AnswerRewrite rewrite);
    // Spoils every download whose path ends in "/" + `fileName`.
    void spoilDownload(const std::string& fileName, DownloadFault fault);

  private:
    void relay(const HttpRequest& request, HttpReply& reply);

    std::string target_;
    mutable std::mutex mutex_;
    AnswerRewrite rewrite_;
    std::vector<std::pair<std::string, DownloadFault>> faults_;
    // Last, so that it stops serving before the members above go.
    LoopbackHttpServer server_{
        [this](const HttpRequest& request, HttpReply& reply) { relay(request, reply); }};
};

}  // namespace kx::test
