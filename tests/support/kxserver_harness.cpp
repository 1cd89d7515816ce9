#include "tests/support/kxserver_harness.h"

#include <httplib.h>

#include <chrono>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <utility>

#include "tests/support/child_program.h"

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
    const std::string out = test::readAll(test::startReadingOutput(command, {}, pid), false);
    const int code = test::exitCodeOf(pid);
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

void RecordingRelay::rewriteAnswers(TextEdits edits) {
    std::lock_guard lock(mutex_);
    edits_ = std::move(edits);
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

void RecordingRelay::scriptDownloads(const std::string& fileName, std::vector<DownloadStep> steps) {
    std::lock_guard lock(mutex_);
    scripts_.emplace_back("/" + fileName, std::deque<DownloadStep>(steps.begin(), steps.end()));
}

void RecordingRelay::relay(const HttpRequest& request, HttpReply& reply) {
    const bool call = request.method == "POST";
    std::optional<DownloadFault> fault;
    TextEdits edits;
    DownloadStep step = "forward";
    {
        std::lock_guard lock(mutex_);
        edits = edits_;
        for (const auto& [suffix, spoil] : faults_) {
            if (!call && request.path.ends_with(suffix)) {
                fault = spoil;
            }
        }
        for (auto& [suffix, steps] : scripts_) {
            if (!call && request.path.ends_with(suffix) && !steps.empty()) {
                step = steps.front();
                steps.pop_front();
                break;
            }
        }
    }
    if (step != "forward" && step != "ignore-range" && !step.starts_with("cut:")) {
        reply.send(step);
        return;
    }
    httplib::Client target(target_);
    httplib::Headers forwarded;
    for (const char* name : {"Range", "If-Range"}) {
        if (!request.header(name).empty() && step != "ignore-range") {
            forwarded.emplace(name, request.header(name));
        }
    }
    const auto answer = call ? target.Post(request.path, request.body, "application/json")
                             : target.Get(request.path, forwarded);
    if (!answer) {
        reply.answer(502, "");
        return;
    }
    if (call && dropAnswers_) {
        return;
    }
    std::string body = answer->body;
    for (const auto& [from, to] : call ? edits : TextEdits{}) {
        if (const auto at = body.find(from); at != std::string::npos) {
            body.replace(at, from.size(), to);
        }
    }
    if (fault == DownloadFault::Tampered) {
        body[body.size() / 2] ^= 0x55;
    }
    if (call || fault == DownloadFault::ServerError) {
        reply.answer(fault == DownloadFault::ServerError ? 500 : answer->status, body,
                     call ? answer->get_header_value("Content-Type") : "application/octet-stream");
    } else if (fault && *fault != DownloadFault::Tampered) {
        sendSpoiled(reply, body, *fault);
    } else {
        std::string head =
            "HTTP/1.1 " + std::to_string(answer->status) +
            " Relayed\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
            std::to_string(body.size()) + "\r\n";
        for (const char* name : {"ETag", "Last-Modified", "Content-Range", "Accept-Ranges"}) {
            if (answer->has_header(name)) {
                head += std::string(name) + ": " + answer->get_header_value(name) + "\r\n";
            }
        }
        if (step.starts_with("cut:")) {
            body.resize(std::min<std::size_t>(body.size(), std::stoul(step.substr(4))));
        }
        // In pieces, paced, counting what went out.
        const std::chrono::microseconds pause(pauseMicroseconds_.load());
        std::string_view rest(body);
        for (bool sent = reply.send(head + "Connection: close\r\n\r\n"); sent && !rest.empty();
             std::this_thread::sleep_for(pause)) {
            const std::string_view piece = rest.substr(0, kDownloadPiece);
            sent = reply.send(piece);
            bytesSent_ += sent ? piece.size() : 0;
            rest.remove_prefix(piece.size());
        }
    }
}

std::vector<HttpRequest> RecordingRelay::requests(const std::string& method) const {
    std::vector<HttpRequest> found = server_.requests();
    std::erase_if(found, [&](const HttpRequest& request) { return request.method != method; });
    return found;
}

}  // namespace kx::test
