// Collects request frames from the line with the library's frame reader. A request that
// stalls half-way is dropped after a while, so that a broken frame cannot swallow the next.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "frame_codec.h"

namespace sim {

class RequestAssembler {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kStallLimit{500};

    // Feeds one byte. A byte that completes a frame gives the frame; Raw() then holds its bytes.
    std::optional<ducta::Frame> Feed(std::uint8_t byte, Clock::time_point now);
    // Drops a partial frame that has stalled; true when one was dropped (Raw() holds it).
    bool Expire(Clock::time_point now);
    // When a partial frame will be dropped, if one is pending.
    std::optional<Clock::time_point> Deadline() const;

    const std::vector<std::uint8_t>& Raw() const { return raw_; }
    // Bytes ahead of a start byte that were passed over since the last call.
    std::size_t TakeSkipped();

  private:
    ducta::FrameReader reader_;
    std::vector<std::uint8_t> raw_;
    std::size_t skipped_ = 0;
    Clock::time_point last_{};
};

}  // namespace sim
