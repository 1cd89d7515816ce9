#include "platform/inet/body_buffer.h"

#include <algorithm>

namespace kx::inet {

bool BodyBuffer::write(const char* data, std::size_t size) {
    std::unique_lock lock(mutex_);
    while (size > 0) {
        writable_.wait(lock, [&] { return cancelled_ || used_ < capacity_; });
        if (cancelled_) {
            return false;
        }
        const std::size_t piece = std::min(size, capacity_ - used_);
        Block block;
        if (!spare_.empty()) {
            block = std::move(spare_.back());
            spare_.pop_back();
        }
        // The copy is made without the lock, so that the reader is never held up by it.
        lock.unlock();
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(data);
        block.assign(bytes, bytes + piece);
        lock.lock();
        if (cancelled_) {
            return false;
        }
        const bool wasEmpty = used_ == 0;
        blocks_.push_back(std::move(block));
        used_ += piece;
        data += piece;
        size -= piece;
        if (wasEmpty) {
            readable_.notify_one();
        }
    }
    return true;
}

void BodyBuffer::finish(std::int32_t outcome) {
    {
        const std::lock_guard lock(mutex_);
        finished_ = true;
        outcome_ = outcome;
    }
    readable_.notify_one();
}

std::size_t BodyBuffer::read(std::vector<std::uint8_t>& out, std::size_t size,
                             std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    readable_.wait_for(lock, wait, [&] { return used_ > 0 || finished_ || cancelled_; });
    if (used_ == 0 || size == 0) {
        out.clear();
        return 0;
    }
    Block& front = blocks_.front();
    if (frontRead_ == 0 && front.size() <= size) {
        // The whole block changes hands; the reader's storage becomes a spare.
        out.swap(front);
    } else {
        const std::size_t piece = std::min(size, front.size() - frontRead_);
        const auto from = front.begin() + static_cast<std::ptrdiff_t>(frontRead_);
        out.assign(from, from + static_cast<std::ptrdiff_t>(piece));
        frontRead_ += piece;
    }
    if (frontRead_ == 0 || frontRead_ == front.size()) {
        front.clear();
        spare_.push_back(std::move(front));
        blocks_.pop_front();
        frontRead_ = 0;
    }
    used_ -= out.size();
    // Waking the writer only once a quarter of the room is free saves a wake-up per read.
    if (capacity_ - used_ >= capacity_ / 4) {
        writable_.notify_one();
    }
    return out.size();
}

bool BodyBuffer::finished() const {
    const std::lock_guard lock(mutex_);
    return finished_ && used_ == 0;
}

std::int32_t BodyBuffer::outcome() const {
    const std::lock_guard lock(mutex_);
    return outcome_;
}

void BodyBuffer::cancel() {
    {
        const std::lock_guard lock(mutex_);
        cancelled_ = true;
        blocks_.clear();
        frontRead_ = 0;
        used_ = 0;
    }
    writable_.notify_all();
    readable_.notify_all();
}

}  // namespace kx::inet
