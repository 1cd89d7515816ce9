#include "server/request_log.h"

#include <algorithm>
#include <string>

namespace kx::server {

namespace {

std::string printable(std::string_view text, std::size_t limit) {
    std::string out(text.substr(0, limit));
    std::replace_if(
        out.begin(), out.end(), [](unsigned char c) { return c < 0x20 || c == 0x7F; }, '?');
    return out.empty() ? "-" : out;
}

}  // namespace

void RequestLog::request(std::string_view method, std::string_view path, int status,
                         std::uint64_t bytes, std::chrono::steady_clock::duration took) {
    if (out_ == nullptr) {
        return;
    }
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(took).count();
    std::lock_guard lock(mutex_);
    *out_ << printable(method, 20) << ' ' << printable(path, 300) << ' ' << status << ' ' << bytes
          << ' ' << (static_cast<double>(micros) / 1000.0) << "ms" << std::endl;
}

void RequestLog::note(std::string_view text) {
    if (out_ == nullptr) {
        return;
    }
    std::lock_guard lock(mutex_);
    *out_ << printable(text, 2000) << std::endl;
}

}  // namespace kx::server
