#include "tests/support/tiny_proxy.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "tests/support/child_process.h"
#include "tests/support/loopback_http_server.h"

namespace kx::test {

TinyProxy::TinyProxy() : port_(unusedLoopbackPort()) {
    const auto config = dir_ / "tinyproxy.conf";
    writeFile(config, "Port " + std::to_string(port_) +
                          "\nListen 127.0.0.1\nTimeout 30\nAllow 127.0.0.1\nMaxClients 10\n"
                          "LogLevel Connect\nLogFile \"" +
                          (dir_ / "tinyproxy.log").string() + "\"\n");
    const auto output = dir_ / "tinyproxy.out";
    pid_ = startProcess({"tinyproxy", "-d", "-c", config.string()}, output, output);
    // Bounded wait for the proxy to listen.
    int probe = -1;
    for (int attempt = 0; attempt < 1000 && (probe = connectLoopback(port_)) < 0; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (probe < 0) {
        test::stopProgram(pid_, SIGTERM, std::chrono::seconds(10));
        throw std::runtime_error("tinyproxy did not start: " + readFile(output));
    }
    ::close(probe);
}

TinyProxy::~TinyProxy() {
    test::stopProgram(pid_, SIGTERM, std::chrono::seconds(10));
}

std::string TinyProxy::url() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

}  // namespace kx::test
