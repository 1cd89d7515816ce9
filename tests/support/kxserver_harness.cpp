#include "kxserver_harness.h"

#include <httplib.h>

#include <chrono>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "child_program.h"

namespace kx::test {

const std::string kKxserver = std::string(KX_BIN_DIR) + "/kxserver";

ProcessResult runKxserver(std::vector<std::string> args, const std::string& input) {
    const TempDir scratch;
    return runProcessWithInput(kKxserver, std::move(args), input, scratch.path());
}

// Reads the output through a pipe rather than files: callers may have pointed TMPDIR at a folder
// that does not exist.
std::string kxserver(const std::vector<std::string>& args) {
    pid_t pid = 0;
    std::vector<std::string> command = {kKxserver};
    command.insert(command.end(), args.begin(), args.end());
    const std::string out =
        server::bench::readAll(server::bench::startReadingOutput(command, {}, pid), false);
    const int code = server::bench::exitCodeOf(pid);
    if (code != 0) {
        throw std::runtime_error("kxserver " + (args.empty() ? std::string() : args[0]) +
                                 " ended with " + std::to_string(code));
    }
    return out;
}

ServeProcess::ServeProcess(const std::filesystem::path& catalogDir, const std::string& publicUrl)
    : ServerProcess(kKxserver, catalogDir, publicUrl.empty() ? 0 : unusedLoopbackPort(),
                    publicUrl) {}

ReportServer::ReportServer() {
    kxserver(
        {"init", (dir_ / "catalog").string(), "--password-memory", "8", "--password-passes", "1"});
    serve_ = std::make_unique<ServeProcess>(dir_ / "catalog");
}

std::vector<nlohmann::ordered_json> ReportServer::reports() const {
    std::istringstream lines(kxserver({"reports", (dir_ / "catalog").string()}));
    std::vector<nlohmann::ordered_json> fields;
    for (std::string line; std::getline(lines, line);) {
        fields.push_back(nlohmann::ordered_json::parse(line).at("fields"));
    }
    return fields;
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

std::string chunk(std::string_view bytes) {
    std::ostringstream size;
    size << std::hex << bytes.size();
    return size.str() + "\r\n" + std::string(bytes) + "\r\n";
}

// Sends a download's `body` spoiled by `fault` (Tampered and ServerError are answered whole).
void sendSpoiled(HttpReply& reply, const std::string& body, DownloadFault fault) {
    const bool chunked = fault == DownloadFault::Chunked || fault == DownloadFault::BrokenChunked;
    const std::size_t announced = body.size() + (fault == DownloadFault::ShortBody ? 10 : 0);
    reply.send(
        "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n" +
        (chunked ? std::string("Transfer-Encoding: chunked")
                 : "Content-Length: " + std::to_string(announced)) +
        "\r\n\r\n");
    const std::string_view bytes(body);
    switch (fault) {
        case DownloadFault::Chunked:
            reply.send(chunk(bytes) + "0\r\n\r\n");
            break;
        case DownloadFault::BrokenChunked:
            reply.send(chunk(bytes.substr(0, bytes.size() / 2)));
            break;
        case DownloadFault::OneByteChunk:
            for (const auto& [at, length] :
                 {std::pair<std::size_t, std::size_t>{0, 3000}, {3000, 1}}) {
                reply.send(bytes.substr(at, length));
                reply.pause(std::chrono::milliseconds(200));
            }
            reply.send(bytes.substr(3001));
            break;
        default:
            reply.send(bytes);  // ShortBody: ten bytes fewer than announced
    }
}

}  // namespace

void RecordingRelay::relay(const HttpRequest& request, HttpReply& reply) {
    httplib::Client target(target_);
    const bool call = request.method == "POST";
    const auto answer = call ? target.Post(request.path, request.body, "application/json")
                             : target.Get(request.path);
    if (!answer) {
        reply.answer(502, "");
        return;
    }
    if (call && dropAnswers_) {
        return;
    }
    std::optional<DownloadFault> fault;
    AnswerRewrite rewrite;
    {
        std::lock_guard lock(mutex_);
        rewrite = rewrite_;
        for (const auto& [suffix, spoil] : faults_) {
            if (!call && request.path.ends_with(suffix)) {
                fault = spoil;
            }
        }
    }
    std::string body = call && rewrite ? rewrite(answer->body) : answer->body;
    if (fault == DownloadFault::Tampered) {
        body[body.size() / 2] ^= 0x55;
    }
    if (!fault || *fault == DownloadFault::ServerError || *fault == DownloadFault::Tampered) {
        reply.answer(fault == DownloadFault::ServerError ? 500 : answer->status, body,
                     call ? answer->get_header_value("Content-Type") : "application/octet-stream");
    } else {
        sendSpoiled(reply, body, *fault);
    }
}

std::vector<HttpRequest> RecordingRelay::requests() const {
    std::vector<HttpRequest> calls = server_.requests();
    std::erase_if(calls, [](const HttpRequest& request) { return request.method != "POST"; });
    return calls;
}

}  // namespace kx::test
