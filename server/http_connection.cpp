// Asio's awaitable.hpp (Boost 1.74) uses std::exchange without including <utility> under C++20.
#include <utility>

#include "server/http_connection.h"

#include <unistd.h>

#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <chrono>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "server/form_decoding.h"
#include "server/request_log.h"
#include "server/request_router.h"

namespace kx::server {

namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kIdleTimeout = 10s;
constexpr auto kHeaderTimeout = 10s;
constexpr auto kRequestTimeout = 60s;
constexpr auto kWriteTimeout = 30s;
constexpr auto kLingerTimeout = 5s;
constexpr std::uint32_t kHeaderLimit = 64 * 1024;
constexpr std::size_t kTargetLimit = 8 * 1024;
constexpr std::size_t kFileChunk = 64 * 1024;
constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";

std::string headerValue(const http::request<http::string_body>& request, http::field field) {
    const auto found = request.find(field);
    return found == request.end() ? std::string() : std::string(found->value());
}

// Every X-Forwarded-For line of the request, joined by commas as one list.
std::string forwardedFor(const http::request<http::string_body>& request) {
    std::string joined;
    const auto [first, last] = request.equal_range("X-Forwarded-For");
    for (auto line = first; line != last; ++line) {
        joined += (joined.empty() ? "" : ",") + std::string(line->value());
    }
    return joined;
}

// What the pages served to browsers read of a request besides its body: the query, the session
// cookie and where the request comes from.
void addPageHeaders(HttpRequest& whole, const http::request<http::string_body>& request) {
    const std::string_view target(request.target().data(), request.target().size());
    const std::size_t question = target.find('?');
    whole.query =
        question == std::string_view::npos ? "" : std::string(target.substr(question + 1));
    whole.cookie = headerValue(request, http::field::cookie);
    whole.origin = headerValue(request, http::field::origin);
    whole.host = headerValue(request, http::field::host);
}

class Connection : public std::enable_shared_from_this<Connection> {
  public:
    Connection(tcp::socket socket, RequestRouter& router, RequestLog& log,
               std::shared_ptr<void> slot)
        : stream_(std::move(socket)), router_(router), log_(log), slot_(std::move(slot)) {
        beast::error_code error;
        clientAddress_ = stream_.socket().remote_endpoint(error).address().to_string();
    }

    // Waits for the first byte of the next request; what a client pipelined is already here.
    void awaitRequest() {
        if (buffer_.size() > 0) {
            readHeader();
            return;
        }
        stream_.expires_after(kIdleTimeout);
        stream_.async_read_some(buffer_.prepare(4096), [self = shared_from_this()](
                                                           beast::error_code error, std::size_t n) {
            if (error) {
                self->closeNow();
                return;
            }
            self->buffer_.commit(n);
            self->readHeader();
        });
    }

  private:
    void readHeader() {
        started_ = Clock::now();
        method_.clear();
        path_.clear();
        keepAlive_ = false;
        parser_.emplace();
        parser_->header_limit(kHeaderLimit);
        // The route's limit is set once the header is read; the router words a declared length
        // beyond it.
        parser_->body_limit(std::numeric_limits<std::uint64_t>::max());
        stream_.expires_at(started_ + kHeaderTimeout);
        http::async_read_header(stream_, buffer_, *parser_,
                                [self = shared_from_this()](beast::error_code error, std::size_t) {
                                    self->onHeader(error);
                                });
    }

    void onHeader(beast::error_code error) {
        if (error == beast::error::timeout || error == http::error::end_of_stream ||
            error == net::error::eof || error == net::error::connection_reset) {
            giveUp(error);
            return;
        }
        if (error) {
            const bool tooLarge = error == http::error::header_limit;
            refuse(tooLarge ? 431 : 400, tooLarge ? "The request header is too large."
                                                  : "The request is not well-formed HTTP.");
            return;
        }
        const auto& request = parser_->get();
        method_ = std::string(request.method_string());
        const std::string_view target(request.target().data(), request.target().size());
        path_ = decodePath(target.substr(0, target.find('?')));
        keepAlive_ = request.keep_alive();
        if (target.size() > kTargetLimit) {
            refuse(414, "The address is too long.");
            return;
        }
        const auto contentLength = parser_->content_length();
        Admission admission = router_.admit(
            method_, path_, headerValue(request, http::field::content_type),
            headerValue(request, http::field::content_encoding),
            contentLength ? std::optional<std::uint64_t>(*contentLength) : std::nullopt);
        if (admission.refusal) {
            answerAndClose(std::move(*admission.refusal));
            return;
        }
        bodyLimit_ = admission.bodyLimit;
        parser_->body_limit(bodyLimit_);
        if (beast::iequals(headerValue(request, http::field::expect), "100-continue")) {
            stream_.expires_after(kWriteTimeout);
            net::async_write(stream_, net::buffer(kContinue.data(), kContinue.size()),
                             [self = shared_from_this()](beast::error_code e, std::size_t) {
                                 if (e) {
                                     self->closeNow();
                                     return;
                                 }
                                 self->readBody();
                             });
            return;
        }
        readBody();
    }

    void readBody() {
        stream_.expires_at(started_ + kRequestTimeout);
        http::async_read(stream_, buffer_, *parser_,
                         [self = shared_from_this()](beast::error_code error, std::size_t) {
                             self->onBody(error);
                         });
    }

    void onBody(beast::error_code error) {
        auto& request = parser_->get();
        const std::string contentType = headerValue(request, http::field::content_type);
        if (error == http::error::body_limit) {
            // A body without a declared length that outgrew the limit: the header check again,
            // with a length beyond it, words the refusal.
            answerAndClose(std::move(*router_
                                          .admit(method_, path_, contentType, std::string(),
                                                 std::uint64_t{bodyLimit_} + 1)
                                          .refusal));
            return;
        }
        if (error == beast::error::timeout || error == net::error::eof ||
            error == net::error::connection_reset || error == http::error::partial_message) {
            giveUp(error);
            return;
        }
        if (error) {
            refuse(400, "The request body could not be read.");
            return;
        }
        stream_.expires_never();
        HttpRequest whole{method_,
                          path_,
                          contentType,
                          headerValue(request, http::field::range),
                          headerValue(request, http::field::if_range),
                          router_.clientAddress(clientAddress_, forwardedFor(request)),
                          std::move(request.body())};
        addPageHeaders(whole, request);
        router_.dispatch(std::move(whole), [self = shared_from_this()](HttpReply reply) {
            net::post(self->stream_.get_executor(),
                      [self, reply = std::move(reply)]() mutable { self->send(std::move(reply)); });
        });
    }

    // The client went away or ran out of time before its request was whole: nothing to answer.
    void giveUp(beast::error_code error) {
        if (error == beast::error::timeout) {
            log_.request(method_, path_, 408, 0, Clock::now() - started_);
        } else {
            log_.note("request left unanswered, the client closed the connection before its end: " +
                      (method_.empty() ? std::string("-") : method_ + " " + path_));
        }
        closeNow();
    }

    void refuse(int status, const std::string& reason) {
        answerAndClose(router_.refusal(status, method_, path_, reason));
    }

    void answerAndClose(HttpReply reply) {
        keepAlive_ = false;
        send(std::move(reply));
    }

    template <typename Message>
    void prepare(Message& message, const HttpReply& reply) {
        message.result(static_cast<unsigned>(reply.status));
        for (const auto& [name, value] : reply.headers) {
            message.set(name, value);
        }
        if (!reply.contentType.empty()) {
            message.set(http::field::content_type, reply.contentType);
        }
        message.keep_alive(keepAlive_);
    }

    void send(HttpReply reply) {
        reply_ = std::move(reply);
        const bool headOnly = method_ == "HEAD";
        stream_.expires_after(kWriteTimeout);
        if (reply_.file) {
            sendFileHeader(headOnly);
            return;
        }
        auto message = std::make_shared<http::response<http::string_body>>();
        message->version(versionOf());
        prepare(*message, reply_);
        message->content_length(reply_.body.size());
        if (!headOnly) {
            message->body() = reply_.body;
        }
        http::async_write(
            stream_, *message,
            [self = shared_from_this(), message](beast::error_code error, std::size_t) {
                self->finish(error, message->body().size());
            });
    }

    void sendFileHeader(bool headOnly) {
        fileMessage_.emplace();
        fileMessage_->version(versionOf());
        prepare(*fileMessage_, reply_);
        fileMessage_->content_length(reply_.fileLength);
        fileMessage_->body().data = nullptr;
        fileMessage_->body().more = !headOnly && reply_.fileLength > 0;
        fileSerializer_.emplace(*fileMessage_);
        fileSent_ = 0;
        http::async_write_header(stream_, *fileSerializer_,
                                 [self = shared_from_this()](beast::error_code error, std::size_t) {
                                     if (error || !self->fileMessage_->body().more) {
                                         self->finish(error, 0);
                                         return;
                                     }
                                     self->sendFileChunk();
                                 });
    }

    void sendFileChunk() {
        chunk_.resize(kFileChunk);
        const std::uint64_t wanted =
            std::min<std::uint64_t>(kFileChunk, reply_.fileLength - fileSent_);
        const ssize_t got = pread(reply_.file->fd, chunk_.data(), wanted,
                                  static_cast<off_t>(reply_.fileOffset + fileSent_));
        if (got <= 0) {
            // The file shrank while being served: the announced length cannot be kept.
            log_.note("install file shrank while being served: " + path_);
            finish(net::error::broken_pipe, fileSent_);
            return;
        }
        const auto size = static_cast<std::size_t>(got);
        fileMessage_->body().data = chunk_.data();
        fileMessage_->body().size = size;
        fileMessage_->body().more = fileSent_ + size < reply_.fileLength;
        stream_.expires_after(kWriteTimeout);
        http::async_write(stream_, *fileSerializer_,
                          [self = shared_from_this(), size](beast::error_code error, std::size_t) {
                              if (error == http::error::need_buffer) {
                                  error = {};
                              }
                              self->fileSent_ += error ? 0 : size;
                              if (error || self->fileSent_ == self->reply_.fileLength) {
                                  self->finish(error, self->fileSent_);
                                  return;
                              }
                              self->sendFileChunk();
                          });
    }

    void finish(beast::error_code error, std::uint64_t bodyBytes) {
        log_.request(method_, path_, reply_.status, bodyBytes, Clock::now() - started_);
        reply_ = HttpReply{};
        fileSerializer_.reset();
        fileMessage_.reset();
        if (error) {
            closeNow();
        } else if (keepAlive_) {
            awaitRequest();
        } else {
            lingerAndClose();
        }
    }

    // Stops sending and discards what the client still sends, until it closes or the time is
    // up: closing with unread data would reset the connection and could destroy the answer
    // before the client has read it.
    void lingerAndClose() {
        beast::error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
        stream_.expires_after(kLingerTimeout);
        discard();
    }

    void discard() {
        buffer_.clear();
        stream_.async_read_some(buffer_.prepare(64 * 1024),
                                [self = shared_from_this()](beast::error_code error, std::size_t) {
                                    if (error) {
                                        self->closeNow();
                                        return;
                                    }
                                    self->discard();
                                });
    }

    void closeNow() {
        beast::error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
        stream_.close();
    }

    unsigned versionOf() const {
        return parser_ && parser_->is_header_done() ? parser_->get().version() : 11;
    }

    beast::tcp_stream stream_;
    beast::flat_buffer buffer_;
    RequestRouter& router_;
    RequestLog& log_;
    std::shared_ptr<void> slot_;
    std::string clientAddress_;
    std::optional<http::request_parser<http::string_body>> parser_;
    Clock::time_point started_ = Clock::now();
    std::string method_;
    std::string path_;
    bool keepAlive_ = false;
    std::size_t bodyLimit_ = 0;
    HttpReply reply_;
    std::optional<http::response<http::buffer_body>> fileMessage_;
    std::optional<http::response_serializer<http::buffer_body>> fileSerializer_;
    std::vector<char> chunk_;
    std::uint64_t fileSent_ = 0;
};

}  // namespace

void startConnection(tcp::socket socket, RequestRouter& router, RequestLog& log,
                     std::shared_ptr<void> slot) {
    std::make_shared<Connection>(std::move(socket), router, log, std::move(slot))->awaitRequest();
}

}  // namespace kx::server
