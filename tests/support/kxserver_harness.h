#pragma once
// The reference server for the launcher's flow tests: catalogs built with kxserver's own
// administrator's command line, `kxserver serve` as a child process on a free loopback port, and a
// relay that passes the launcher's calls on to it while keeping a copy of each request.

#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/support/child_process.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/server_process.h"
#include "tests/support/temp_dir.h"

namespace kx::test {

// Runs `kxserver ARGS...` to its end with `input` as its standard input (files in a temporary
// folder hold the streams).
ProcessResult runKxserver(std::vector<std::string> args, const std::string& input = {});
// Runs `kxserver ARGS...` to its end and returns its standard output (standard error is the
// caller's); throws std::runtime_error with the exit code when it fails.
std::string kxserver(const std::vector<std::string>& args);

// `kxserver serve` on a free loopback port (see ServerProcess); its lists name `publicUrl`
// instead of its address when one is given.
class ServeProcess : public test::ServerProcess {
  public:
    explicit ServeProcess(const std::filesystem::path& catalogDir,
                          const std::string& publicUrl = {});
};

// An empty catalog of its own served by `kxserver serve`, as the vendor's web server that error
// reports go to, and its reports as `kxserver reports` lists them.
class ReportServer {
  public:
    ReportServer();
    std::string reportUrl() const { return serve_->url() + "/GenErrorReport.asp"; }
    // The fields of every stored report, in the order they arrived.
    std::vector<nlohmann::ordered_json> reports() const;

  private:
    TempDir dir_;
    std::unique_ptr<ServeProcess> serve_;
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

// What the relay does with one download request of a file, to play a network or server that
// fails now and then: "cut:N" forwards the answer with only N bytes of its body, then closes;
// "ignore-range" forwards the request without its Range and If-Range; any other text is sent as
// it stands (an answer, or "" for none), then the connection closes.
using DownloadStep = std::string;

// Download bodies go out in pieces of this size.
inline constexpr std::size_t kDownloadPiece = 16 * 1024;

// A loopback server that forwards every POST and GET to `target` (same path and body, and a
// download's Range and If-Range) and answers with the target's answer (a download's with its
// validators and Content-Range). Answers to POSTs can be rewritten, downloads spoiled or scripted
// by file name and paced, and the bytes of download bodies sent are counted.
class RecordingRelay {
  public:
    using TextEdits = std::vector<std::pair<std::string, std::string>>;

    // "http://127.0.0.1:<port>"
    std::string url() const { return server_.url(""); }
    // Where requests go; set before the first request arrives.
    void forwardTo(const std::string& target) { target_ = target; }
    // The remote calls (POSTs), or the requests of another method, received so far.
    std::vector<HttpRequest> requests(const std::string& method = "POST") const;
    // From now on, the first `from` of each edit in a POST answer becomes its `to`.
    void rewriteAnswers(TextEdits edits);
    // From now on closes the connection of every POST once the target has answered it, without
    // passing the answer on: a server that stores a report and then fails.
    void dropAnswers() { dropAnswers_ = true; }
    // Spoils every download whose path ends in "/" + `fileName`.
    void spoilDownload(const std::string& fileName, DownloadFault fault);
    // Answers the next downloads whose path ends in "/" + `fileName` by `steps`, one step a
    // request; later ones are forwarded.
    void scriptDownloads(const std::string& fileName, std::vector<DownloadStep> steps);
    // Pauses for `pause` after each kDownloadPiece bytes of a download body, from now on.
    void paceDownloads(std::chrono::microseconds pause) { pauseMicroseconds_ = pause.count(); }
    // The bytes of download bodies sent so far.
    std::uint64_t downloadBytesSent() const { return bytesSent_; }

  private:
    void relay(const HttpRequest& request, HttpReply& reply);

    std::string target_;
    mutable std::mutex mutex_;
    TextEdits edits_;
    std::atomic<bool> dropAnswers_{false};
    std::vector<std::pair<std::string, DownloadFault>> faults_;
    std::vector<std::pair<std::string, std::deque<DownloadStep>>> scripts_;
    std::atomic<std::chrono::microseconds::rep> pauseMicroseconds_{0};
    std::atomic<std::uint64_t> bytesSent_{0};
    // Last, so that it stops serving before the members above go.
    LoopbackHttpServer server_{
        [this](const HttpRequest& request, HttpReply& reply) { relay(request, reply); }};
};

}  // namespace kx::test
