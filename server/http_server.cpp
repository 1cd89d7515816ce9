// Asio's awaitable.hpp (Boost 1.74) uses std::exchange without including <utility> under C++20.
#include <utility>

#include "server/http_server.h"

#include <sys/resource.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <thread>

#include "platform/text/path_text.h"
#include "server/http_connection.h"
#include "server/request_log.h"
#include "server/request_router.h"
#include "server/shared_catalog.h"

namespace kx::server {

namespace {

namespace net = boost::asio;
using tcp = net::ip::tcp;

// Threads of the I/O loop: they only parse and copy bytes, so two keep a busy server's answers
// flowing while a third thread would mostly wait.
constexpr int kIoThreads = 2;

// Connections allowed at once: each may hold a socket and an open install file.
std::size_t connectionCap(std::size_t wanted) {
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur == RLIM_INFINITY) {
        return wanted;
    }
    const auto spare = files.rlim_cur > 128 ? (files.rlim_cur - 64) / 2 : 32;
    return std::min<std::size_t>(wanted, static_cast<std::size_t>(spare));
}

}  // namespace

std::size_t defaultPasswordCheckThreads() {
    return std::max(1u, std::thread::hardware_concurrency());
}

struct KxServer::Impl {
    // Destroyed in reverse order: the router's pools before the loop whose connections their
    // queued work holds, the loop before the log and the count its connections use.
    ServerOptions options;
    RequestLog log;
    std::string baseUrl;
    std::atomic<std::size_t> open{0};
    std::size_t maxConnections;
    net::io_context io;
    SharedCatalog catalog;
    tcp::acceptor acceptor{io};
    net::steady_timer acceptPause{io};
    RequestRouter router;

    explicit Impl(ServerOptions o)
        : options(withClock(std::move(o))),
          log(options.log),
          maxConnections(connectionCap(options.maxConnections)),
          catalog(options.dir, options.catalogBusyTimeout),
          router(options, baseUrl, catalog, log) {}

    static ServerOptions withClock(ServerOptions o) {
        if (!o.clock) {
            o.clock = [] {
                return static_cast<std::int64_t>(
                    std::chrono::duration_cast<std::chrono::seconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count());
            };
        }
        return o;
    }

    void accept() {
        acceptor.async_accept(
            net::make_strand(io), [this](boost::system::error_code error, tcp::socket socket) {
                if (error == net::error::operation_aborted) {
                    return;
                }
                if (error) {
                    // Out of descriptors, most likely: try again shortly rather than spin.
                    log.note("cannot accept a connection (" + error.message() +
                             "); trying again in 100 ms");
                    acceptPause.expires_after(std::chrono::milliseconds(100));
                    acceptPause.async_wait([this](boost::system::error_code) { accept(); });
                    return;
                }
                serve(std::move(socket));
                accept();
            });
    }

    void serve(tcp::socket socket) {
        if (open.load() >= maxConnections) {
            log.note("connection closed unanswered: " + std::to_string(maxConnections) +
                     " connections, the most allowed, are open already");
            return;  // the socket closes as it goes out of scope
        }
        ++open;
        std::shared_ptr<void> slot(nullptr, [this](void*) { --open; });
        boost::system::error_code ignored;
        socket.set_option(tcp::no_delay(true), ignored);
        startConnection(std::move(socket), router, log, std::move(slot));
    }
};

KxServer::KxServer(ServerOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {}

KxServer::~KxServer() = default;

std::string KxServer::bind() {
    auto& o = impl_->options;
    if (o.port < 0 || o.port > 65535) {
        throw std::runtime_error("the port must lie between 0 and 65535");
    }
    try {
        const tcp::endpoint endpoint(net::ip::make_address(o.address),
                                     static_cast<unsigned short>(o.port));
        auto& acceptor = impl_->acceptor;
        acceptor.open(endpoint.protocol());
        acceptor.set_option(net::socket_base::reuse_address(true));
        acceptor.bind(endpoint);
        acceptor.listen(net::socket_base::max_listen_connections);
    } catch (const boost::system::system_error& e) {
        throw std::runtime_error("cannot listen on " + o.address + " port " +
                                 std::to_string(o.port) + ": " + e.code().message());
    }
    const int port = impl_->acceptor.local_endpoint().port();
    impl_->baseUrl = withoutTrailingSlash(
        o.publicUrl.empty() ? "http://" + o.address + ":" + std::to_string(port) : o.publicUrl);
    return impl_->baseUrl;
}

void KxServer::run() {
    impl_->accept();
    std::vector<std::thread> threads;
    for (int i = 1; i < kIoThreads; ++i) {
        threads.emplace_back([this] { impl_->io.run(); });
    }
    impl_->io.run();
    for (auto& thread : threads) {
        thread.join();
    }
    impl_->router.stop();
    boost::system::error_code ignored;
    impl_->acceptor.close(ignored);
}

void KxServer::stop() {
    // A password check waiting for a busy catalog gives up instead of holding the stop.
    impl_->catalog.interrupt();
    impl_->io.stop();
}

const std::string& KxServer::baseUrl() const {
    return impl_->baseUrl;
}

}  // namespace kx::server
