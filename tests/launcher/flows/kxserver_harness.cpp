#include "kxserver_harness.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <httplib.h>

#include <chrono>
#include <optional>
#include <stdexcept>
#include <thread>

#include "child_process.h"

namespace kx::test {

namespace {

const std::string kKxserver = std::string(KX_BIN_DIR) + "/kxserver";

// Starts kxserver with its standard output on a pipe; returns the read end and sets `pid`.
// Standard error goes to `errorLog` (or stays the test's own when empty).
int spawnKxserver(const std::vector<std::string>& args, const std::string& errorLog, pid_t& pid) {
    std::vector<std::string> command = {kKxserver};
    command.insert(command.end(), args.begin(), args.end());
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    std::vector<ChildDescriptor> descriptors = {{STDOUT_FILENO, fds[1]}};
    const int log = errorLog.empty()
                        ? -1
                        : open(errorLog.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (log >= 0) {
        descriptors.push_back({STDERR_FILENO, log});
    }
    try {
        pid = startTiedProcess(command, descriptors);
    } catch (...) {
        pid = -1;
    }
    close(fds[1]);
    if (log >= 0) {
        close(log);
    }
    if (pid < 0) {
        close(fds[0]);
        throw std::runtime_error("cannot start " + kKxserver);
    }
    return fds[0];
}

// Reads from `fd` until end of file, or only up to the first line end when `oneLine`.
std::string readOutput(int fd, bool oneLine) {
    std::string text;
    char c = 0;
    while (read(fd, &c, 1) == 1) {
        if (oneLine && c == '\n') {
            break;
        }
        text += c;
    }
    close(fd);
    return text;
}

int exitCodeOf(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

std::string kxserver(const std::vector<std::string>& args) {
    pid_t pid = 0;
    const std::string out = readOutput(spawnKxserver(args, {}, pid), false);
    const int code = exitCodeOf(pid);
    if (code != 0) {
        throw std::runtime_error("kxserver " + (args.empty() ? std::string() : args[0]) +
                                 " ended with " + std::to_string(code));
    }
    return out;
}

int unusedLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("no free loopback port");
    }
    close(fd);
    return ntohs(address.sin_port);
}

ServeProcess::ServeProcess(const std::filesystem::path& catalogDir, const std::string& publicUrl) {
    // The server announces its public URL when it has one, so the port is chosen here then.
    const int port = publicUrl.empty() ? 0 : unusedLoopbackPort();
    std::vector<std::string> args = {"serve", catalogDir.string(), "--port", std::to_string(port)};
    if (!publicUrl.empty()) {
        args.insert(args.end(), {"--public-url", publicUrl});
    }
    const std::string log = (catalogDir.parent_path() / "serve.log").string();
    // The first line of output comes once the server listens.
    url_ = readOutput(spawnKxserver(args, log, pid_), true);
    if (port != 0 && !url_.empty()) {
        url_ = "http://127.0.0.1:" + std::to_string(port);
    }
    if (url_.empty()) {
        kill(pid_, SIGKILL);
        exitCodeOf(pid_);
        throw std::runtime_error("kxserver serve did not start; see " + log);
    }
}

ServeProcess::~ServeProcess() {
    if (pid_ > 0) {
        stop(SIGTERM);
    }
}

int ServeProcess::stop(int signal, std::chrono::seconds within) {
    kill(pid_, signal);
    const auto deadline = std::chrono::steady_clock::now() + within;
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid_, SIGKILL);
            exitCodeOf(pid_);
            pid_ = 0;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    pid_ = 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

RecordingRelay::RecordingRelay() : server_(std::make_unique<httplib::Server>()) {
    server_->Post(R"(/.*)", [this](const httplib::Request& req, httplib::Response& res) {
        {
            std::lock_guard lock(mutex_);
            requests_.push_back({req.path, req.body});
        }
        httplib::Client target(target_);
        const auto answer = target.Post(req.path, req.body, "application/json");
        if (!answer) {
            res.status = 502;
            return;
        }
        AnswerRewrite rewrite;
        {
            std::lock_guard lock(mutex_);
            rewrite = rewrite_;
        }
        res.status = answer->status;
        res.set_content(rewrite ? rewrite(answer->body) : answer->body,
                        answer->get_header_value("Content-Type"));
    });
    server_->Get(R"(/.*)", [this](const httplib::Request& req, httplib::Response& res) {
        relayDownload(req, res);
    });
    const int port = server_->bind_to_any_port("127.0.0.1");
    if (port <= 0) {
        throw std::runtime_error("the relay cannot listen");
    }
    url_ = "http://127.0.0.1:" + std::to_string(port);
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    // Stopping works only on a running server; the socket already listens, so nothing is lost.
    while (!server_->is_running()) {
        std::this_thread::yield();
    }
}

RecordingRelay::~RecordingRelay() {
    server_->stop();
    thread_.join();
}

void RecordingRelay::rewriteAnswers(AnswerRewrite rewrite) {
    std::lock_guard lock(mutex_);
    rewrite_ = std::move(rewrite);
}

void RecordingRelay::spoilDownload(const std::string& fileName, DownloadFault fault) {
    std::lock_guard lock(mutex_);
    faults_.emplace_back("/" + fileName, fault);
}

namespace {

// Sends `body` in the pieces a fault calls for; false ends the connection early.
bool sendSpoiled(const std::string& body, DownloadFault fault, httplib::DataSink& sink) {
    if (fault == DownloadFault::BrokenChunked) {
        sink.write(body.data(), body.size() / 2);
        return false;
    }
    if (fault == DownloadFault::OneByteChunk) {
        for (const std::size_t at : {std::size_t{0}, std::size_t{3000}}) {
            sink.write(body.data() + at, at == 0 ? 3000 : 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        return sink.write(body.data() + 3001, body.size() - 3001);
    }
    return sink.write(body.data(), body.size());
}

}  // namespace

void RecordingRelay::relayDownload(const httplib::Request& req, httplib::Response& res) {
    httplib::Client target(target_);
    const auto answer = target.Get(req.path);
    if (!answer) {
        res.status = 502;
        return;
    }
    std::optional<DownloadFault> fault;
    {
        std::lock_guard lock(mutex_);
        for (const auto& [suffix, spoil] : faults_) {
            if (req.path.ends_with(suffix)) {
                fault = spoil;
            }
        }
    }
    res.status = fault == DownloadFault::ServerError ? 500 : answer->status;
    auto body = std::make_shared<std::string>(answer->body);
    if (fault == DownloadFault::Tampered) {
        (*body)[body->size() / 2] ^= 0x55;
    }
    if (!fault || *fault == DownloadFault::ServerError || *fault == DownloadFault::Tampered) {
        res.set_content(*body, "application/octet-stream");
    } else if (*fault == DownloadFault::Chunked || *fault == DownloadFault::BrokenChunked) {
        res.set_chunked_content_provider("application/octet-stream",
                                         [body, fault](std::size_t, httplib::DataSink& sink) {
                                             const bool whole = sendSpoiled(*body, *fault, sink);
                                             if (whole) {
                                                 sink.done();
                                             }
                                             return whole;
                                         });
    } else {
        // ShortBody announces ten bytes more than it sends; OneByteChunk sends all it announces.
        const std::size_t announced = body->size() + (*fault == DownloadFault::ShortBody ? 10 : 0);
        res.set_content_provider(
            announced, "application/octet-stream",
            [body, fault](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                return offset == 0 && sendSpoiled(*body, *fault, sink) &&
                       *fault != DownloadFault::ShortBody;
            });
    }
}

std::vector<RecordingRelay::Request> RecordingRelay::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

}  // namespace kx::test
