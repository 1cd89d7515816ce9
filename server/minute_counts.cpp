#include "server/minute_counts.h"

namespace kx::server {

namespace {

constexpr std::chrono::minutes kWindow{1};

}  // namespace

bool MinuteCounts::full(const std::string& key, Clock::time_point now) const {
    const auto found = windows_.find(key);
    return found != windows_.end() && now - found->second.start < kWindow &&
           found->second.count >= limit_;
}

void MinuteCounts::add(const std::string& key, Clock::time_point now) {
    makeRoom(windows_, [&](const Window& w) { return now - w.start >= kWindow; });
    Window& window = windows_[key];
    if (now - window.start >= kWindow) {
        window = {now, 0};
    }
    ++window.count;
}

}  // namespace kx::server
