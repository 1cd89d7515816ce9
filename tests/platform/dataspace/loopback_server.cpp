#include "loopback_server.h"

#include <gtest/gtest.h>

#include <chrono>

namespace kx::test {

std::string ReceivedRequest::header(const std::string& name) const {
    // httplib keeps headers in a map that compares names without regard to case.
    const auto it = headers.find(name);
    return it == headers.end() ? std::string() : it->second;
}

LoopbackServer::LoopbackServer(Handler handler)
    : server_(std::make_unique<httplib::Server>()), scheme_("http") {
    start(std::move(handler));
}

LoopbackServer::LoopbackServer(Handler handler, X509* certificate, EVP_PKEY* key)
    : server_(std::make_unique<httplib::SSLServer>(certificate, key)), scheme_("https") {
    start(std::move(handler));
}

void LoopbackServer::start(Handler handler) {
    server_->Post(".*", [this, handler = std::move(handler)](const httplib::Request& request,
                                                             httplib::Response& response) {
        {
            const std::lock_guard lock(mutex_);
            requests_.push_back({request.path, request.body, request.headers});
        }
        handler(request, response);
    });
    // Once bound, the socket listens: connections queue until the thread starts serving them.
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) {
        ADD_FAILURE() << "the loopback server could not bind a port";
        return;
    }
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    // stop() only takes effect on a running server, so wait (bounded) until it runs.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!server_->is_running() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(server_->is_running()) << "the loopback server did not start";
}

LoopbackServer::~LoopbackServer() {
    server_->stop();
    if (thread_.joinable()) {
        thread_.join();
    }
}

std::string LoopbackServer::url(const std::string& path) const {
    return scheme_ + "://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<ReceivedRequest> LoopbackServer::requests() const {
    const std::lock_guard lock(mutex_);
    return requests_;
}

LoopbackServer::Handler fixedAnswer(int status, std::string body, std::string contentType) {
    return [status, body = std::move(body), contentType = std::move(contentType)](
               const httplib::Request&, httplib::Response& response) {
        response.status = status;
        response.set_content(body, contentType.c_str());
    };
}

}  // namespace kx::test
