#include "http_server.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "call_arguments.h"
#include "catalog.h"
#include "form_decoding.h"
#include "install_files.h"
#include "remote_calls.h"

namespace kx::server {

namespace {

using httplib::Request;
using httplib::Response;

constexpr const char* kReportPath = "/generrorreport.asp";
constexpr const char* kNotFoundBody = "404 Object Not Found";
// The error-report client counts any answer holding the digit one as delivered, so refusals on
// that address are worded without digits.
constexpr const char* kReportRefused = "The error report was not accepted: ";

thread_local std::chrono::steady_clock::time_point requestStart;

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Paths are logged, never bodies or query strings; control characters are masked so that a
// request cannot forge log lines.
std::string printable(const std::string& text) {
    std::string out = text.substr(0, 300);
    std::replace_if(
        out.begin(), out.end(), [](unsigned char c) { return c < 0x20 || c == 0x7F; }, '?');
    return out;
}

void setJsonError(Response& res, int status, std::int32_t number, const std::string& text) {
    res.status = status;
    res.set_content(remoteErrorBody(number, text), "application/json");
}

enum class BodyStatus { Complete, TooLarge, Broken };

// Reads the request body, keeping at most `limit` bytes. A longer body is still read to its end
// (the HTTP layer bounds it at twice the largest limit), so that the client, which is still
// sending, receives the refusal instead of a broken connection.
BodyStatus readBody(const httplib::ContentReader& reader, std::size_t limit, std::string& body) {
    bool tooLarge = false;
    const bool complete = reader([&](const char* data, std::size_t length) {
        if (tooLarge || body.size() + length > limit) {
            tooLarge = true;
            return true;
        }
        body.append(data, length);
        return true;
    });
    if (!complete) {
        return BodyStatus::Broken;
    }
    return tooLarge ? BodyStatus::TooLarge : BodyStatus::Complete;
}

}  // namespace

struct KxServer::Impl {
    ServerOptions options;
    Catalog catalog;
    std::mutex catalogMutex;
    std::mutex logMutex;
    httplib::Server http;
    std::string baseUrl;
    std::atomic<bool> runEntered{false};
    std::atomic<bool> stopRequested{false};

    explicit Impl(ServerOptions o) : options(std::move(o)), catalog(options.dir) {
        if (!options.clock) {
            options.clock = [] {
                return static_cast<std::int64_t>(
                    std::chrono::duration_cast<std::chrono::seconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count());
            };
        }
        // Twice the largest body any route accepts: each route applies its own bound and reads
        // a longer body to its end; beyond this the connection is simply dropped.
        http.set_payload_max_length(2 * std::max(options.callBodyLimit, options.reportBodyLimit));
        http.set_pre_routing_handler([](const Request&, Response&) {
            requestStart = std::chrono::steady_clock::now();
            return httplib::Server::HandlerResponse::Unhandled;
        });
        http.Post(".*",
                  [this](const Request& req, Response& res, const httplib::ContentReader& reader) {
                      handlePost(req, res, reader);
                  });
        http.Get(".*", [this](const Request& req, Response& res) { handleGet(req, res); });
        http.set_error_handler(
            httplib::Server::HandlerWithResponse([](const Request& req, Response& res) {
                if (!res.body.empty() || res.content_length_ != 0) {
                    return httplib::Server::HandlerResponse::Unhandled;
                }
                if (lowerCase(req.path) == kReportPath) {
                    res.set_content(std::string(kReportRefused) + "the request is malformed.",
                                    "text/plain");
                } else if (res.status == 413) {
                    res.set_content(remoteErrorBody(error_number::kRequestTooLarge,
                                                    "The request body is too large."),
                                    "application/json");
                } else {
                    res.set_content(remoteErrorBody(error_number::kInvalidArgument,
                                                    "The request was refused (HTTP status " +
                                                        std::to_string(res.status) + ")."),
                                    "application/json");
                }
                return httplib::Server::HandlerResponse::Handled;
            }));
        http.set_logger([this](const Request& req, const Response& res) { logRequest(req, res); });
    }

    void logRequest(const Request& req, const Response& res) {
        if (options.log == nullptr) {
            return;
        }
        const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - requestStart);
        const std::size_t bytes = res.body.empty() ? res.content_length_ : res.body.size();
        std::lock_guard lock(logMutex);
        *options.log << printable(req.method) << ' ' << printable(req.path) << ' ' << res.status
                     << ' ' << bytes << ' ' << (static_cast<double>(elapsed.count()) / 1000.0)
                     << "ms" << std::endl;
    }

    void handlePost(const Request& req, Response& res, const httplib::ContentReader& reader) {
        if (lowerCase(req.path) == kReportPath) {
            handleReport(req, res, reader);
            return;
        }
        std::string body;
        switch (readBody(reader, options.callBodyLimit, body)) {
            case BodyStatus::TooLarge:
                res.set_header("Connection", "close");
                setJsonError(res, 413, error_number::kRequestTooLarge,
                             "The request body is larger than " +
                                 std::to_string(options.callBodyLimit) + " bytes.");
                return;
            case BodyStatus::Broken:
                setJsonError(res, 400, error_number::kInvalidArgument,
                             "The request body could not be read.");
                return;
            case BodyStatus::Complete:
                break;
        }
        try {
            const RemoteCall call = parseRemoteCall(body);
            const std::string path = busObjPathOf(req.path);
            std::lock_guard lock(catalogMutex);
            if (path != "/" && !catalog.servesPath(path)) {
                throw RemoteError(404, error_number::kNotFound,
                                  "No business-object server is published at this address.");
            }
            const CallContext context{path, baseUrl, req.remote_addr, options.clock()};
            nlohmann::json answer;
            answer["result"] = runRemoteCall(catalog, call, context);
            res.set_content(answer.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
                            "application/json");
        } catch (const RemoteError& e) {
            setJsonError(res, e.httpStatus(), e.number(), e.what());
        } catch (const std::exception& e) {
            setJsonError(res, 500, error_number::kServerFailure,
                         std::string("The server failed: ") + e.what());
        }
    }

    static std::string busObjPathOf(std::string path) {
        while (path.size() > 1 && path.back() == '/') {
            path.pop_back();
        }
        return path;
    }

    void handleReport(const Request& req, Response& res, const httplib::ContentReader& reader) {
        std::string body;
        const BodyStatus status = readBody(reader, options.reportBodyLimit, body);
        if (status != BodyStatus::Complete) {
            res.status = status == BodyStatus::TooLarge ? 413 : 400;
            res.set_header("Connection", "close");
            res.set_content(std::string(kReportRefused) +
                                (status == BodyStatus::TooLarge ? "too large." : "unreadable."),
                            "text/plain");
            return;
        }
        try {
            const FormFields fields = decodeFormBody(body);
            if (fields.empty()) {
                res.status = 400;
                res.set_content(std::string(kReportRefused) + "no fields.", "text/plain");
                return;
            }
            std::lock_guard lock(catalogMutex);
            catalog.addErrorReport(fields, req.remote_addr, options.clock());
            res.set_content("1", "text/plain");
        } catch (const std::exception& e) {
            res.status = 500;
            res.set_content(std::string(kReportRefused) + "the server could not store it.",
                            "text/plain");
        }
    }

    void handleGet(const Request& req, Response& res) {
        std::optional<std::filesystem::path> file;
        if (const auto request = splitInstallFilePath(req.path)) {
            std::lock_guard lock(catalogMutex);
            file = resolveInstallFile(catalog, *request);
        }
        auto stream = file ? std::make_shared<std::ifstream>(*file, std::ios::binary) : nullptr;
        std::error_code error;
        const auto size = file ? std::filesystem::file_size(*file, error) : 0;
        if (!stream || !*stream || error) {
            res.status = 404;
            res.set_content(kNotFoundBody, "text/plain");
            return;
        }
        res.set_content_provider(
            static_cast<std::size_t>(size), "application/octet-stream",
            [stream](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                char buffer[64 * 1024];
                stream->seekg(static_cast<std::streamoff>(offset));
                const auto wanted = std::min(length, sizeof buffer);
                stream->read(buffer, static_cast<std::streamsize>(wanted));
                const auto got = stream->gcount();
                if (got <= 0) {
                    return false;  // the file shrank while being served: end the connection
                }
                return sink.write(buffer, static_cast<std::size_t>(got));
            });
    }
};

KxServer::KxServer(ServerOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {}

KxServer::~KxServer() = default;

std::string KxServer::bind() {
    auto& o = impl_->options;
    if (o.port < 0 || o.port > 65535) {
        throw std::runtime_error("the port must lie between 0 and 65535");
    }
    int port = o.port;
    if (port == 0) {
        port = impl_->http.bind_to_any_port(o.address);
    } else if (!impl_->http.bind_to_port(o.address, port)) {
        port = -1;
    }
    if (port <= 0) {
        throw std::runtime_error("cannot listen on " + o.address + " port " +
                                 std::to_string(o.port));
    }
    impl_->baseUrl =
        o.publicUrl.empty() ? "http://" + o.address + ":" + std::to_string(port) : o.publicUrl;
    while (impl_->baseUrl.size() > 1 && impl_->baseUrl.back() == '/') {
        impl_->baseUrl.pop_back();
    }
    return impl_->baseUrl;
}

void KxServer::run() {
    impl_->runEntered = true;
    if (!impl_->stopRequested) {
        impl_->http.listen_after_bind();
    }
    impl_->runEntered = false;
}

void KxServer::stop() {
    impl_->stopRequested = true;
    // run() may be between its check and the listening loop; wait until it is listening or gone.
    while (impl_->runEntered && !impl_->http.is_running()) {
        std::this_thread::yield();
    }
    impl_->http.stop();
}

const std::string& KxServer::baseUrl() const {
    return impl_->baseUrl;
}

}  // namespace kx::server
