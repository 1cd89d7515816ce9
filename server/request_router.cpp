#include "server/request_router.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <boost/asio/post.hpp>
#include <boost/asio/thread_pool.hpp>

#include <algorithm>
#include <atomic>
#include <thread>

#include "platform/runtime/vb_strings.h"
#include "platform/text/path_text.h"
#include "server/byte_ranges.h"
#include "server/fair_queue.h"
#include "server/file_validators.h"
#include "server/form_decoding.h"
#include "server/http_server.h"
#include "server/install_files.h"
#include "server/minute_counts.h"
#include "server/password.h"
#include "server/password_checks.h"
#include "server/remote_calls.h"
#include "server/request_log.h"
#include "server/shared_catalog.h"
#include "server/support/support_site.h"
#include "server/trusted_proxies.h"

namespace kx::server {

namespace {

constexpr const char* kReportPath = "/generrorreport.asp";
constexpr const char* kReportRefused = "The error report was not accepted: ";
constexpr const char* kNotFoundBody = "404 Object Not Found";
// Threads for everything but password checks: enough that a catalog step waiting for its disk
// does not hold up a download that needs no catalog.
constexpr std::size_t kGeneralThreads = 4;
// A full report store frees room only when old reports are pruned (daily) or removed by hand:
// the sender is asked to come back in an hour, which the launcher's spool does at a later start.
constexpr const char* kFullStoreRetryAfter = "3600";

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

}  // namespace

struct RequestRouter::Impl {
    const ServerOptions& options;
    const std::string& baseUrl;
    SharedCatalog& catalog;
    RequestLog& log;
    PasswordChecks passwords{verifyPassword};
    TrustedProxies proxies;
    ValidatorCache validators;
    std::mutex reportCountsMutex;
    MinuteCounts reportCounts;
    boost::asio::thread_pool general{kGeneralThreads};
    FairQueue passwordChecks;
    std::atomic<bool> stopping{false};
    support::SupportSite support;

    Impl(const ServerOptions& o, const std::string& url, SharedCatalog& c, RequestLog& l)
        : options(o),
          baseUrl(url),
          catalog(c),
          log(l),
          proxies(o.trustedProxies),
          reportCounts(o.reportsPerAddressPerMinute),
          passwordChecks(std::max<std::size_t>(1, o.passwordCheckThreads)),
          support(c, url, o.clock) {}

    // Every refusal at the report address is logged: a report that is not stored leaves a trace
    // on the server, whatever the client does with the answer.
    HttpReply refusal(int status, const std::string& method, const std::string& path,
                      const std::string& reason, const char* retryAfter = "1") const {
        HttpReply reply;
        if (isReportPath(path)) {
            log.note("error report not stored (" + std::to_string(status) + "): " + reason);
            reply = textReply(status, kReportRefused + reason);
        } else if (method == "POST" && !support::SupportSite::serves(path)) {
            reply = jsonReply(status, remoteErrorBody(errorNumberFor(status), reason));
        } else {
            reply = textReply(status, reason);
        }
        if (status == 503 || status == 429) {
            reply.headers.emplace_back("Retry-After", retryAfter);
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

    // With `refuseLogin` a call that carries a password fails its login without a check.
    HttpReply answerCall(const HttpRequest& request, const RemoteCall& call, bool refuseLogin) {
        return guarded(request, [&] {
            try {
                const CallContext context{withoutTrailingSlash(request.path), baseUrl,
                                          request.clientAddress, options.clock(), refuseLogin};
                nlohmann::json answer;
                answer["result"] = runRemoteCall({catalog, passwords, log}, call, context);
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
        if (tooManyReportsFrom(request.clientAddress)) {
            return refusal(429, request.method, request.path,
                           "too many reports came from this address in the last minute. Please "
                           "send it again later.",
                           "60");
        }
        return guarded(request, [&] {
            switch (catalog.lock()->reports().add(fields, request.clientAddress, options.clock(),
                                                  options.reportStoreLimit)) {
                case ReportAdmission::StoreFull:
                    return refusal(503, request.method, request.path,
                                   "the report store is full. Please send it again later.",
                                   kFullStoreRetryAfter);
                case ReportAdmission::TooLarge:
                    return refusal(413, request.method, request.path,
                                   "it is larger than the whole report store.");
                case ReportAdmission::StoredAlready:
                    log.note("error report sent again; it was stored before");
                    break;
                case ReportAdmission::Stored:
                    break;
            }
            return textReply(200, "1");
        });
    }

    // Counts the report; true when its address has sent its allowance this minute already.
    bool tooManyReportsFrom(const std::string& address) {
        const auto now = std::chrono::steady_clock::now();
        std::lock_guard lock(reportCountsMutex);
        if (reportCounts.full(address, now)) {
            return true;
        }
        reportCounts.add(address, now);
        return false;
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

    // Runs `work` on the password pool in turn with other addresses' checks; the attempt stays in
    // flight (`admission`) until its answer is given.
    void checkOnPasswordPool(const std::string& clientAddress, PasswordChecks::Admission admission,
                             std::function<HttpReply()> work, std::function<void(HttpReply)> done) {
        passwordChecks.post(clientAddress,
                            [this, admission = std::move(admission), work = std::move(work),
                             done = std::move(done)]() mutable {
                                if (stopping) {
                                    return;
                                }
                                HttpReply reply = work();
                                // Free before answering: the client's next call may follow at once.
                                admission.reset();
                                done(std::move(reply));
                            });
    }

    // The support pages' answer, or nullopt when a login went on to the password pool.
    std::optional<HttpReply> answerSupport(const HttpRequest& request,
                                           std::function<void(HttpReply)>& done) {
        std::optional<support::PasswordWork> work;
        HttpReply reply = guarded(request, [&] {
            auto answer = support.answer(request);
            if (auto* check = std::get_if<support::PasswordWork>(&answer)) {
                work = std::move(*check);
                return HttpReply{};
            }
            return std::get<HttpReply>(std::move(answer));
        });
        if (!work) {
            return reply;
        }
        // The password stays behind: the failure messages need only the address.
        HttpRequest where;
        where.method = request.method;
        where.path = request.path;
        checkOnPasswordPool(
            work->clientAddress, std::move(work->admission),
            [this, where = std::move(where), run = std::move(work->run)] {
                return guarded(where, run);
            },
            std::move(done));
        return std::nullopt;
    }

    // The answer, or nullopt when the request went on to the password pool with `done`.
    std::optional<HttpReply> answer(HttpRequest& request, std::function<void(HttpReply)>& done) {
        if (support::SupportSite::serves(request.path)) {
            return answerSupport(request, done);
        }
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
        const auto attempt = loginAttemptOf(*call, request.clientAddress);
        if (!attempt) {
            return answerCall(request, *call, false);
        }
        auto admission = passwords.admit(*attempt);
        if (!admission) {
            return answerCall(request, *call, true);
        }
        // Checked on the password pool in turn with other addresses.
        auto held = std::make_shared<HttpRequest>(std::move(request));
        const std::string address = held->clientAddress;
        checkOnPasswordPool(
            address, std::move(admission),
            [this, held, call] { return answerCall(*held, *call, false); }, std::move(done));
        return std::nullopt;
    }
};

RequestRouter::RequestRouter(const ServerOptions& options, const std::string& baseUrl,
                             SharedCatalog& catalog, RequestLog& log)
    : impl_(std::make_unique<Impl>(options, baseUrl, catalog, log)) {}

RequestRouter::~RequestRouter() {
    stop();
}

Admission RequestRouter::admit(const std::string& method, const std::string& path,
                               const std::string& contentType, const std::string& contentEncoding,
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
    } else if (!contentEncoding.empty() && LCase(contentEncoding) != "identity") {
        // Nothing here decodes bodies: an encoded report would be stored as noise.
        admission.refusal = refusal(415, method, path,
                                    report ? "it is sent in a content encoding; a plain form is "
                                             "expected."
                                           : "Request bodies are not accepted in a content "
                                             "encoding.");
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

std::string RequestRouter::clientAddress(const std::string& peer,
                                         std::string_view forwardedFor) const {
    return impl_->proxies.clientAddress(peer, forwardedFor);
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
}

}  // namespace kx::server
