#pragma once
// Work for a pool of threads, queued by a key (a client address) and taken in turns: the oldest
// job of one key, then of the next key that waits, and so on. One key's flood of jobs then waits
// behind itself, and another key's job waits for at most one job of each waiting key.

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>

#include <boost/asio/thread_pool.hpp>

namespace kx::server {

class FairQueue {
  public:
    explicit FairQueue(std::size_t threads);
    ~FairQueue();
    FairQueue(const FairQueue&) = delete;
    FairQueue& operator=(const FairQueue&) = delete;

    void post(const std::string& key, std::function<void()> job);
    // Drops the jobs not yet started and waits for those under way.
    void stop();

  private:
    void runNext();

    std::mutex mutex_;
    std::unordered_map<std::string, std::deque<std::function<void()>>> waiting_;
    std::deque<std::string> turns_;  // the keys with waiting jobs, next turn first
    boost::asio::thread_pool pool_;
};

}  // namespace kx::server
