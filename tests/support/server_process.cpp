#include "tests/support/server_process.h"

#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "tests/support/child_program.h"

namespace kx::test {

ServerProcess::ServerProcess(const std::string& program, const std::filesystem::path& dir, int port,
                             const std::string& publicUrl,
                             const std::vector<std::string>& options) {
    std::vector<std::string> command = {program, "serve", dir.string(), "--port",
                                        std::to_string(port)};
    command.insert(command.end(), options.begin(), options.end());
    if (!publicUrl.empty()) {
        command.insert(command.end(), {"--public-url", publicUrl});
    }
    const std::string log = (dir.parent_path() / "serve.log").string();
    // The first line of output comes once the server listens.
    url_ = readAll(startReadingOutput(command, log, pid_), true);
    if (url_.empty()) {
        stop(SIGKILL);
        throw std::runtime_error("kxserver serve did not start; see " + log);
    }
    if (!publicUrl.empty()) {
        url_ = "http://127.0.0.1:" + std::to_string(port);
    }
}

ServerProcess::~ServerProcess() {
    if (pid_ > 0) {
        stop(SIGTERM);
    }
}

int ServerProcess::port() const {
    return std::stoi(url_.substr(url_.rfind(':') + 1));
}

double ServerProcess::cpuSeconds() const {
    std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
    std::string line;
    std::getline(stat, line);
    // Fields 14 and 15 (user and system time in clock ticks) follow the parenthesised name.
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int number = 3; fields >> field && number <= 15; ++number) {
        ticks += number >= 14 ? std::stod(field) : 0;
    }
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

long ServerProcess::peakResidentKiB() const {
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmHWM:")) {
            return std::stol(line.substr(6));
        }
    }
    return 0;
}

int ServerProcess::stop(int signal, std::chrono::seconds within) {
    const int code = stopProgram(pid_, signal, within);
    pid_ = 0;
    return code;
}

}  // namespace kx::test
