#include "local_processes.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>
#include <vector>

#include "raw_http_listener.h"

extern char** environ;

namespace kx::test {
namespace {

bool acceptsConnections(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool connected =
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

pid_t spawn(const std::vector<std::string>& arguments, const std::string& logFile) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(), O_WRONLY | O_CREAT, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        throw std::runtime_error("cannot start " + arguments[0]);
    }
    return pid;
}

}  // namespace

ScopedEnvironment::~ScopedEnvironment() {
    for (const auto& [name, value] : saved_) {
        if (value) {
            ::setenv(name.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(name.c_str());
        }
    }
}

void ScopedEnvironment::remember(const std::string& name) {
    if (!saved_.contains(name)) {
        const char* current = std::getenv(name.c_str());
        saved_[name] = current != nullptr ? std::optional<std::string>(current) : std::nullopt;
    }
}

void ScopedEnvironment::set(const std::string& name, const std::string& value) {
    remember(name);
    ::setenv(name.c_str(), value.c_str(), 1);
}

void ScopedEnvironment::unset(const std::string& name) {
    remember(name);
    ::unsetenv(name.c_str());
}

void ScopedEnvironment::clearProxyVariables() {
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy",
                             "ALL_PROXY", "no_proxy", "NO_PROXY"}) {
        unset(name);
    }
}

TinyProxy::TinyProxy() {
    // tinyproxy needs a number up front: take one the system hands out and release it.
    ::close(bindLoopback(port_));
    const std::string config = (dir_ / "tinyproxy.conf").string();
    writeFile(config, "Port " + std::to_string(port_) +
                          "\nListen 127.0.0.1\nTimeout 30\nAllow 127.0.0.1\n"
                          "LogLevel Error\nMaxClients 10\n");
    pid_ = spawn({"tinyproxy", "-d", "-c", config}, (dir_ / "tinyproxy.log").string());
    // Bounded wait for the proxy to listen.
    for (int attempt = 0; attempt < 1000 && !acceptsConnections(port_); ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!acceptsConnections(port_)) {
        throw std::runtime_error("tinyproxy did not start: " + readFile(dir_ / "tinyproxy.log"));
    }
}

TinyProxy::~TinyProxy() {
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
}

void makeSelfSignedCertificate(const std::string& certFile, const std::string& keyFile) {
    const std::string log = certFile + ".log";
    const pid_t pid =
        spawn({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
               "ec_paramgen_curve:prime256v1", "-nodes", "-days", "1", "-subj", "/CN=localhost",
               "-addext", "subjectAltName=DNS:localhost", "-keyout", keyFile, "-out", certFile},
              log);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error("openssl failed: " + readFile(log));
    }
}

}  // namespace kx::test
