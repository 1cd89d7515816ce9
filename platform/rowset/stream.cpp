#include "platform/rowset/stream.h"

#include "platform/rowset/ado_errors.h"

namespace kx::rowset {

void Stream::requireOpen() const {
    if (!open_) {
        raiseAdoError(adoerr::kObjectClosed, {}, kStreamSource);
    }
}

void Stream::Open() {
    if (open_) {
        raiseAdoError(adoerr::kObjectOpen, {}, kStreamSource);
    }
    text_.clear();
    position_ = 0;
    open_ = true;
}

void Stream::Close() {
    requireOpen();
    open_ = false;
    text_.clear();
    text_.shrink_to_fit();
    position_ = 0;
}

void Stream::WriteText(std::string_view text) {
    requireOpen();
    const std::size_t overlap = std::min(text.size(), text_.size() - position_);
    text_.replace(position_, overlap, text);
    position_ += text.size();
}

void Stream::Flush() {
    requireOpen();
}

std::string Stream::ReadText(std::int64_t count) {
    requireOpen();
    const std::size_t available = text_.size() - position_;
    std::size_t length = available;
    if (count != adReadAll) {
        if (count < 0) {
            raiseAdoError(adoerr::kBadArguments, "ReadText needs a count of 0 or more.",
                          kStreamSource);
        }
        length = std::min(available, static_cast<std::size_t>(count));
    }
    std::string result = text_.substr(position_, length);
    position_ += length;
    return result;
}

std::int64_t Stream::Position() const {
    requireOpen();
    return static_cast<std::int64_t>(position_);
}

void Stream::setPosition(std::int64_t position) {
    requireOpen();
    if (position < 0 || static_cast<std::uint64_t>(position) > text_.size()) {
        raiseAdoError(adoerr::kBadArguments,
                      "Position " + std::to_string(position) + " lies outside the stream.",
                      kStreamSource);
    }
    position_ = static_cast<std::size_t>(position);
}

std::int64_t Stream::Size() const {
    requireOpen();
    return static_cast<std::int64_t>(text_.size());
}

}  // namespace kx::rowset
