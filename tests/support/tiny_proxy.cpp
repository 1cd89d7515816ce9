#include "tiny_proxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "child_process.h"
#include "loopback_http_server.h"

namespace kx::test {
namespace {

bool acceptsConnections(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool connected =
        fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0) {
        ::close(fd);
    }
    return connected;
}

}  // namespace

TinyProxy::TinyProxy() : port_(unusedLoopbackPort()) {
    const auto config = dir_ / "tinyproxy.conf";
    writeFile(config, "Port " + std::to_string(port_) +
                          "\nListen 127.0.0.1\nTimeout 30\nAllow 127.0.0.1\nMaxClients 10\n"
                          "LogLevel Connect\nLogFile \"" +
                          (dir_ / "tinyproxy.log").string() + "\"\n");
    const auto output = dir_ / "tinyproxy.out";
    pid_ = startProcess({"tinyproxy", "-d", "-c", config.string()}, output, output);
    // Bounded wait for the proxy to listen.
    for (int attempt = 0; attempt < 1000 && !acceptsConnections(port_); ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!acceptsConnections(port_)) {
        ::kill(pid_, SIGTERM);
        waitForExit(pid_);
        throw std::runtime_error("tinyproxy did not start: " + readFile(output));
    }
}

TinyProxy::~TinyProxy() {
    ::kill(pid_, SIGTERM);
    waitForExit(pid_);
}

std::string TinyProxy::url() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

}  // namespace kx::test
