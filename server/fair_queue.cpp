#include "server/fair_queue.h"

#include <boost/asio/post.hpp>

namespace kx::server {

FairQueue::FairQueue(std::size_t threads) : pool_(threads) {}

FairQueue::~FairQueue() {
    stop();
}

void FairQueue::post(const std::string& key, std::function<void()> job) {
    {
        std::lock_guard lock(mutex_);
        auto& jobs = waiting_[key];
        if (jobs.empty()) {
            turns_.push_back(key);
        }
        jobs.push_back(std::move(job));
    }
    // One run a job, but each run takes whichever job's turn it is.
    boost::asio::post(pool_, [this] { runNext(); });
}

void FairQueue::runNext() {
    std::function<void()> job;
    {
        std::lock_guard lock(mutex_);
        if (turns_.empty()) {
            return;
        }
        const std::string key = std::move(turns_.front());
        turns_.pop_front();
        auto found = waiting_.find(key);
        job = std::move(found->second.front());
        found->second.pop_front();
        if (found->second.empty()) {
            waiting_.erase(found);
        } else {
            turns_.push_back(key);
        }
    }
    job();
}

void FairQueue::stop() {
    pool_.stop();
    pool_.join();
    std::lock_guard lock(mutex_);
    waiting_.clear();
    turns_.clear();
}

}  // namespace kx::server
