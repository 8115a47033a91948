#include "request_assembler.h"

namespace sim {

std::optional<ducta::Frame> RequestAssembler::Feed(std::uint8_t byte, Clock::time_point now) {
    if (reader_.Received() == 0) raw_.clear();
    last_ = now;
    const std::size_t before = reader_.Received();
    const bool complete = reader_.Feed(byte);
    if (reader_.Received() == before) {
        ++skipped_;
        return std::nullopt;
    }
    raw_.push_back(byte);
    if (!complete) return std::nullopt;
    ducta::Frame frame = reader_.Result();
    reader_.Reset();
    return frame;
}

bool RequestAssembler::Expire(Clock::time_point now) {
    if (reader_.Received() == 0 || now - last_ < kStallLimit) return false;
    reader_.Reset();
    return true;
}

std::optional<RequestAssembler::Clock::time_point> RequestAssembler::Deadline() const {
    if (reader_.Received() == 0) return std::nullopt;
    return last_ + kStallLimit;
}

std::size_t RequestAssembler::TakeSkipped() {
    const std::size_t n = skipped_;
    skipped_ = 0;
    return n;
}

}  // namespace sim
