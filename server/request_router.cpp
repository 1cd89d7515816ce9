#include "request_router.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/thread_pool.hpp>

#include <algorithm>
#include <atomic>
#include <thread>

#include "byte_ranges.h"
#include "file_validators.h"
#include "form_decoding.h"
#include "http_server.h"
#include "install_files.h"
#include "password.h"
#include "password_checks.h"
#include "path_text.h"
#include "remote_calls.h"
#include "request_log.h"
#include "shared_catalog.h"
#include "vb_strings.h"

namespace kx::server {

namespace {

constexpr const char* kReportPath = "/generrorreport.asp";
constexpr const char* kReportRefused = "The error report was not accepted: ";
constexpr const char* kNotFoundBody = "404 Object Not Found";
// Threads for everything but password checks: enough that a catalog step waiting for its disk
// does not hold up a download that needs no catalog.
constexpr std::size_t kGeneralThreads = 4;

bool isReportPath(const std::string& path) {
    return LCase(path) == kReportPath;
}

std::int32_t errorNumberFor(int status) {
    switch (status) {
        case 404:
            return error_number::kNotFound;
        case 413:
            return error_number::kRequestTooLarge;
        case 500:
            return error_number::kServerFailure;
        case 503:
            return error_number::kServerBusy;
        default:
            return error_number::kInvalidArgument;
    }
}

HttpReply reply(int status, const char* contentType, std::string body) {
    HttpReply answer;
    answer.status = status;
    answer.contentType = contentType;
    answer.body = std::move(body);
    return answer;
}

HttpReply textReply(int status, std::string text) {
    return reply(status, "text/plain", std::move(text));
}

HttpReply jsonReply(int status, std::string json) {
    return reply(status, "application/json", std::move(json));
}

std::size_t threadsForPasswordChecks() {
    return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace

OpenFile::~OpenFile() {
    if (fd >= 0) {
        close(fd);
    }
}

struct RequestRouter::Impl {
    const ServerOptions& options;
    const std::string& baseUrl;
    SharedCatalog& catalog;
    RequestLog& log;
    boost::asio::io_context& io;
    PasswordChecks passwords{verifyPassword};
    ValidatorCache validators;
    boost::asio::thread_pool general{kGeneralThreads};
    boost::asio::thread_pool passwordChecks{threadsForPasswordChecks()};
    std::atomic<bool> stopping{false};

    Impl(const ServerOptions& o, const std::string& url, SharedCatalog& c, RequestLog& l,
         boost::asio::io_context& context)
        : options(o), baseUrl(url), catalog(c), log(l), io(context) {}

    // Every refusal at the report address is logged: a report that is not stored leaves a trace
    // on the server, whatever the client does with the answer.
    HttpReply refusal(int status, const std::string& method, const std::string& path,
                      const std::string& reason) const {
        HttpReply reply;
        if (isReportPath(path)) {
            log.note("error report not stored (" + std::to_string(status) + "): " + reason);
            reply = textReply(status, kReportRefused + reason);
        } else if (method == "POST") {
            reply = jsonReply(status, remoteErrorBody(errorNumberFor(status), reason));
        } else {
            reply = textReply(status, reason);
        }
        if (status == 503) {
            reply.headers.emplace_back("Retry-After", "1");
        }
        return reply;
    }

    // Runs `answer`, turning a busy catalog into a plain request to try again and any other
    // failure into a refusal that names no internal detail (the log has it).
    template <typename Answer>
    HttpReply guarded(const HttpRequest& request, Answer&& answer) {
        try {
            return answer();
        } catch (const CatalogBusy& e) {
            log.note("busy: " + request.method + " " + request.path + ": " + e.what());
            return refusal(503, request.method, request.path,
                           isReportPath(request.path)
                               ? "the server is busy. Please send it again."
                               : "The server is busy; please try again in a moment.");
        } catch (const std::exception& e) {
            log.note("failed: " + request.method + " " + request.path + ": " + e.what());
            return refusal(500, request.method, request.path,
                           isReportPath(request.path)
                               ? "the server could not store it."
                               : "The server failed; its log has the details.");
        }
    }

    HttpReply answerCall(const HttpRequest& request, const RemoteCall& call) {
        return guarded(request, [&] {
            try {
                const CallContext context{withoutTrailingSlash(request.path), baseUrl,
                                          request.clientAddress, options.clock()};
                nlohmann::json answer;
                answer["result"] = runRemoteCall({catalog, passwords}, call, context);
                return jsonReply(
                    200, answer.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
            } catch (const RemoteError& e) {
                return jsonReply(e.httpStatus(), remoteErrorBody(e.number(), e.what()));
            }
        });
    }

    HttpReply answerReport(const HttpRequest& request) {
        FormFields fields;
        try {
            fields = decodeFormBody(request.body);
        } catch (const std::invalid_argument&) {
            return refusal(413, request.method, request.path,
                           "it has more than a thousand fields.");
        }
        if (fields.empty()) {
            return refusal(400, request.method, request.path, "it has no fields.");
        }
        return guarded(request, [&] {
            const auto [storedBefore, dropped] = catalog.lock()->reports().add(
                fields, request.clientAddress, options.clock(), options.reportStoreLimit);
            if (storedBefore) {
                log.note("error report sent again; it was stored before");
            }
            if (dropped.count > 0) {
                log.note("dropped the " + std::to_string(dropped.count) +
                         " oldest error report(s), " + std::to_string(dropped.bytes) +
                         " bytes, to keep the report store under " +
                         std::to_string(options.reportStoreLimit) + " bytes");
            }
            return textReply(200, "1");
        });
    }

    HttpReply answerDownload(const HttpRequest& request) {
        return guarded(request, [&] {
            std::optional<std::filesystem::path> file;
            if (const auto wanted = splitInstallFilePath(request.path)) {
                file = resolveInstallFile(*catalog.lock(), *wanted);
            }
            auto open =
                file ? std::make_shared<OpenFile>(::open(file->c_str(), O_RDONLY | O_CLOEXEC))
                     : nullptr;
            struct stat status {};
            if (!open || open->fd < 0 || fstat(open->fd, &status) != 0 ||
                !S_ISREG(status.st_mode)) {
                return textReply(404, kNotFoundBody);
            }
            const auto size = static_cast<std::uint64_t>(status.st_size);
            const FileValidators v = validators.validatorsOf(open->fd, file->string(), status);
            const ByteRangeAnswer part =
                answerByteRange(request.range, request.ifRange, size, v.etag, v.lastModified);
            HttpReply reply;
            reply.status = part.status;
            reply.contentType = "application/octet-stream";
            reply.headers = {
                {"ETag", v.etag}, {"Last-Modified", v.lastModified}, {"Accept-Ranges", "bytes"}};
            if (part.status == 206) {
                reply.headers.emplace_back("Content-Range",
                                           "bytes " + std::to_string(part.offset) + "-" +
                                               std::to_string(part.offset + part.length - 1) + "/" +
                                               std::to_string(size));
            } else if (part.status == 416) {
                reply.headers.emplace_back("Content-Range", "bytes */" + std::to_string(size));
                return reply;
            }
            reply.file = std::move(open);
            reply.fileOffset = part.offset;
            reply.fileLength = part.length;
            return reply;
        });
    }

    // Calls that check a password go to their own pool, after the delay their account has
    // earned at this address with wrong passwords.
    void answerOnPasswordPool(const std::shared_ptr<HttpRequest>& request,
                              const std::shared_ptr<RemoteCall>& call,
                              std::function<void(HttpReply)> done,
                              std::chrono::milliseconds delay) {
        auto job = [this, request, call, done = std::move(done)] {
            if (!stopping) {
                done(answerCall(*request, *call));
            }
        };
        if (delay.count() == 0) {
            boost::asio::post(passwordChecks, std::move(job));
            return;
        }
        auto timer = std::make_shared<boost::asio::steady_timer>(io, delay);
        timer->async_wait(
            [this, timer, job = std::move(job)](const boost::system::error_code& error) mutable {
                if (!error) {
                    boost::asio::post(passwordChecks, std::move(job));
                }
            });
    }

    // The answer, or nullopt when the request went on to the password pool with `done`.
    std::optional<HttpReply> answer(HttpRequest& request, std::function<void(HttpReply)>& done) {
        if (request.method != "POST") {
            return answerDownload(request);
        }
        if (isReportPath(request.path)) {
            return answerReport(request);
        }
        auto call = std::make_shared<RemoteCall>();
        try {
            *call = parseRemoteCall(request.body);
        } catch (const RemoteError& e) {
            return jsonReply(e.httpStatus(), remoteErrorBody(e.number(), e.what()));
        }
        if (const auto attempt = loginAttemptOf(*call, request.clientAddress)) {
            answerOnPasswordPool(std::make_shared<HttpRequest>(std::move(request)), call,
                                 std::move(done), passwords.delayFor(*attempt));
            return std::nullopt;
        }
        return answerCall(request, *call);
    }
};

RequestRouter::RequestRouter(const ServerOptions& options, const std::string& baseUrl,
                             SharedCatalog& catalog, RequestLog& log, boost::asio::io_context& io)
    : impl_(std::make_unique<Impl>(options, baseUrl, catalog, log, io)) {}

RequestRouter::~RequestRouter() {
    stop();
}

Admission RequestRouter::admit(const std::string& method, const std::string& path,
                               const std::string& contentType,
                               std::optional<std::uint64_t> contentLength) const {
    const bool report = isReportPath(path);
    Admission admission;
    admission.bodyLimit = report ? impl_->options.reportBodyLimit : impl_->options.callBodyLimit;
    if (method != "GET" && method != "HEAD" && method != "POST") {
        admission.refusal = refusal(405, method, path, "Only GET, HEAD and POST are served.");
        admission.refusal->headers.emplace_back("Allow", "GET, HEAD, POST");
    } else if (method == "POST" && LCase(contentType).starts_with("multipart/")) {
        admission.refusal = refusal(415, method, path,
                                    report ? "it is sent as multipart data; a URL-encoded form "
                                             "is expected."
                                           : "Calls are sent as JSON, not as multipart data.");
    } else if (contentLength && *contentLength > admission.bodyLimit) {
        admission.refusal = refusal(413, method, path,
                                    report ? "it is too large."
                                           : "The request body is larger than " +
                                                 std::to_string(admission.bodyLimit) + " bytes.");
    }
    return admission;
}

void RequestRouter::dispatch(HttpRequest request, std::function<void(HttpReply)> done) {
    auto pending = std::make_shared<std::pair<HttpRequest, std::function<void(HttpReply)>>>(
        std::move(request), std::move(done));
    boost::asio::post(impl_->general, [impl = impl_.get(), pending] {
        if (impl->stopping) {
            return;
        }
        auto& [received, replyTo] = *pending;
        std::optional<HttpReply> reply;
        try {
            reply = impl->answer(received, replyTo);
        } catch (const std::exception& e) {
            // An exception leaving a pool thread would end the server.
            impl->log.note("failed: " + received.method + " " + received.path + ": " + e.what());
            reply = impl->refusal(500, received.method, received.path, "The server failed.");
        }
        if (reply && replyTo) {
            replyTo(std::move(*reply));
        }
    });
}

HttpReply RequestRouter::refusal(int status, const std::string& method, const std::string& path,
                                 const std::string& reason) const {
    return impl_->refusal(status, method, path, reason);
}

void RequestRouter::stop() {
    impl_->stopping = true;
    impl_->general.stop();
    impl_->passwordChecks.stop();
    impl_->general.join();
    impl_->passwordChecks.join();
}

}  // namespace kx::server
