#pragma once
// The HTTP face of kxserver: remote calls (POST, JSON) at the root and at every business-object
// path, install files (GET) under each deployment's address, and the error-report form at
// "/GenErrorReport.asp" (request_router.h has what each answers). Bad input is answered with a
// 4xx status and a clear error; the server keeps serving.
//
// The server is event-driven: its connections are served by an I/O loop on two threads, and a
// request's work is handed to a small pool only once the request is whole (http_connection.h has
// the deadlines), so that slow or idle clients hold sockets, never workers, and stop() ends the
// server at once whatever its clients do. The listen queue is the system's largest, and answers
// are sent without waiting to fill packets (TCP_NODELAY).

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace kx::server {

// One per processor core.
std::size_t defaultPasswordCheckThreads();

struct ServerOptions {
    std::filesystem::path dir;  // the server folder with the catalog
    std::string address = "127.0.0.1";
    int port = 0;  // 0 picks a free port
    // The base URL rendered into BusObjURL values; empty means "http://<address>:<port>".
    std::string publicUrl;
    std::size_t callBodyLimit = 1 << 20;
    std::size_t reportBodyLimit = 4 << 20;
    // The stored error reports (the bytes of their fields) are kept under this size: a report
    // that does not fit is refused, so that an open report address can neither fill the disk
    // nor push out reports already stored.
    std::uint64_t reportStoreLimit = std::uint64_t{512} << 20;
    // Error reports one client address may send a minute; more are refused (429).
    int reportsPerAddressPerMinute = 60;
    // Reverse proxies whose X-Forwarded-For names the client (trusted_proxies.h).
    std::vector<std::string> trustedProxies;
    // How long a catalog step waits for another process's lock before the request is refused
    // with 503 (try again).
    std::chrono::milliseconds catalogBusyTimeout{5000};
    // Password checks run at once, each taking the memory of the catalog's password cost: this
    // many times that cost bounds the memory they need. One per processor core by default.
    std::size_t passwordCheckThreads = defaultPasswordCheckThreads();
    // Connections open at once; more are closed as they arrive. Bounded further by the
    // process's limit of open files.
    std::size_t maxConnections = 4096;
    // Seconds since 1970; tests move time forward through it.
    std::function<std::int64_t()> clock;
    // One line per request; null for none.
    std::ostream* log = nullptr;
};

class KxServer {
  public:
    // Opens the catalog; throws CatalogError when the folder has none.
    explicit KxServer(ServerOptions options);
    ~KxServer();
    KxServer(const KxServer&) = delete;
    KxServer& operator=(const KxServer&) = delete;

    // Binds the listening socket and returns the base URL. Throws std::runtime_error on failure.
    std::string bind();
    // Serves until stop() is called (from any thread). Call bind() first.
    void run();
    // Makes run() return at once: open connections are dropped, work not yet started is dropped
    // and work under way (a password check at most) is waited for. Safe before run() too.
    void stop();
    const std::string& baseUrl() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kx::server
