#include "body_buffer.h"

#include <algorithm>
#include <cstring>

namespace kx::inet {

BodyBuffer::BodyBuffer(std::size_t capacity) : ring_(capacity) {}

bool BodyBuffer::write(const char* data, std::size_t size) {
    std::unique_lock lock(mutex_);
    while (size > 0) {
        writable_.wait(lock, [&] { return cancelled_ || used_ < ring_.size(); });
        if (cancelled_) {
            return false;
        }
        const std::size_t tail = (head_ + used_) % ring_.size();
        const std::size_t piece = std::min({size, ring_.size() - used_, ring_.size() - tail});
        std::memcpy(ring_.data() + tail, data, piece);
        const bool wasEmpty = used_ == 0;
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
    out.clear();
    std::unique_lock lock(mutex_);
    readable_.wait_for(lock, wait, [&] { return used_ > 0 || finished_ || cancelled_; });
    std::size_t copied = 0;
    while (copied < size && used_ > 0) {
        const std::size_t piece = std::min({size - copied, used_, ring_.size() - head_});
        const auto from = ring_.begin() + static_cast<std::ptrdiff_t>(head_);
        out.insert(out.end(), from, from + static_cast<std::ptrdiff_t>(piece));
        head_ = (head_ + piece) % ring_.size();
        used_ -= piece;
        copied += piece;
    }
    // Waking the writer only once a quarter of the ring is free saves a wake-up per read.
    if (copied > 0 && ring_.size() - used_ >= ring_.size() / 4) {
        writable_.notify_one();
    }
    return copied;
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
        used_ = 0;
    }
    writable_.notify_all();
    readable_.notify_all();
}

}  // namespace kx::inet
