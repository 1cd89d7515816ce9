#pragma once
// Bounded tables keyed by text, and events per key counted in one-minute windows, for limits
// such as "wrong passwords of one account per minute". Not safe for concurrent use: the owner
// locks.

#include <chrono>
#include <cstddef>
#include <string>
#include <unordered_map>

namespace kx::server {

// Tables of this kind stop growing here.
inline constexpr std::size_t kMaxTableEntries = 10'000;

// Makes room for one more entry: a full table first loses its stale entries, then all of them.
template <typename Value, typename IsStale>
void makeRoom(std::unordered_map<std::string, Value>& table, IsStale isStale) {
    if (table.size() < kMaxTableEntries) {
        return;
    }
    std::erase_if(table, [&](const auto& entry) { return isStale(entry.second); });
    if (table.size() >= kMaxTableEntries) {
        table.clear();
    }
}

class MinuteCounts {
  public:
    using Clock = std::chrono::steady_clock;

    explicit MinuteCounts(int limit) : limit_(limit) {}

    // True when `key` has had the limit's number of events in its current minute.
    bool full(const std::string& key, Clock::time_point now) const;
    void add(const std::string& key, Clock::time_point now);

  private:
    struct Window {
        Clock::time_point start;
        int count = 0;
    };

    int limit_;
    std::unordered_map<std::string, Window> windows_;
};

}  // namespace kx::server
