#include "message_receiver.h"

#include <algorithm>

namespace gateway {

std::size_t MessageReceiver::Wanted() const {
    switch (state_) {
        case State::kLength:
            return kLengthFieldSize - fieldBytes_;
        case State::kBody:
            return length_ - bodyBytes_;
        default:
            return 0;
    }
}

bool MessageReceiver::InMessage() const {
    return state_ == State::kBody || (state_ == State::kLength && fieldBytes_ > 0);
}

std::size_t MessageReceiver::Feed(std::span<const std::uint8_t> bytes) {
    std::size_t taken = 0;
    if (state_ == State::kLength) {
        std::size_t n = std::min(bytes.size(), kLengthFieldSize - fieldBytes_);
        std::copy_n(bytes.begin(), n, field_.begin() + fieldBytes_);
        fieldBytes_ += n;
        taken += n;
        if (fieldBytes_ < kLengthFieldSize) return taken;
        // Compared unsigned: a field with the top bit set is refused like any other oversize
        // body, before any of it is read.
        length_ = DecodeLength(field_);
        if (length_ > static_cast<std::uint32_t>(kMaxBodySize)) {
            state_ = State::kTooLong;
            return taken;
        }
        state_ = State::kBody;
    }
    if (state_ == State::kBody) {
        std::size_t n = std::min(bytes.size() - taken, length_ - bodyBytes_);
        std::copy_n(bytes.begin() + taken, n, buffer_.begin() + bodyBytes_);
        bodyBytes_ += n;
        taken += n;
        if (bodyBytes_ == length_) state_ = State::kComplete;
    }
    return taken;
}

void MessageReceiver::Next() {
    state_ = State::kLength;
    fieldBytes_ = 0;
    length_ = 0;
    bodyBytes_ = 0;
}

}  // namespace gateway
