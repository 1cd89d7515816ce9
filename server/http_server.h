#pragma once
// The HTTP face of kxserver: remote calls (POST, JSON) at the root and at every business-object
// path, install files (GET) under each deployment's address, and the error-report form at
// "/GenErrorReport.asp". Bad input is answered with a 4xx status and a clear error; the server
// keeps serving.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

namespace kx::server {

struct ServerOptions {
    std::filesystem::path dir;  // the server folder with the catalog
    std::string address = "127.0.0.1";
    int port = 0;  // 0 picks a free port
    // The base URL rendered into BusObjURL values; empty means "http://<address>:<port>".
    std::string publicUrl;
    std::size_t callBodyLimit = 1 << 20;
    std::size_t reportBodyLimit = 4 << 20;
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
    void stop();
    const std::string& baseUrl() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kx::server
