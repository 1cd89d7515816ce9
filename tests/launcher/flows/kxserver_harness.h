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

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace kx::test {

// Runs `kxserver ARGS...` to its end and returns its standard output; throws std::runtime_error
// with the exit code when it fails.
std::string kxserver(const std::vector<std::string>& args);

// A loopback port on which nothing listens (it was free a moment ago).
int unusedLoopbackPort();

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

// Listens on a free loopback port, forwards every POST and GET to `target` (same path and body) and
// answers with the target's answer, recording each POST on the way. Answers to POSTs can be
// rewritten, and downloads spoiled by file name.
class RecordingRelay {
  public:
    struct Request {
        std::string path;
        std::string body;
    };
    using AnswerRewrite = std::function<std::string(std::string answer)>;

    RecordingRelay();
    ~RecordingRelay();
    RecordingRelay(const RecordingRelay&) = delete;
    RecordingRelay& operator=(const RecordingRelay&) = delete;

    const std::string& url() const { return url_; }
    // Where requests go; set before the first request arrives.
    void forwardTo(const std::string& target) { target_ = target; }
    std::vector<Request> requests() const;
    // Passes every POST answer through `rewrite` from now on.
    void rewriteAnswers(AnswerRewrite rewrite);
    // Spoils every download whose path ends in "/" + `fileName`.
    void spoilDownload(const std::string& fileName, DownloadFault fault);

  private:
    void relayDownload(const httplib::Request& req, httplib::Response& res);

    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    std::string url_;
    std::string target_;
    mutable std::mutex mutex_;
    std::vector<Request> requests_;
    AnswerRewrite rewrite_;
    std::vector<std::pair<std::string, DownloadFault>> faults_;
};

}  // namespace kx::test
