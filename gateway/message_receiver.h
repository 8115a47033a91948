// The receiving half of one gateway connection: the 4-byte big-endian length field, then the
// body, gathered from whatever pieces the stream delivers. Pure, without I/O, so that it can
// be driven from a byte buffer alone.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "message_format.h"

namespace gateway {

class MessageReceiver {
  public:
    enum class State {
        kLength,    // gathering the length field
        kBody,      // gathering the body
        kComplete,  // a whole message is in Body()
        kTooLong,   // the announced body is above kMaxBodySize (or has the top bit set)
    };

    // Takes bytes of the stream up to the end of the current message and returns how many it
    // took; nothing once the message is complete or refused.
    std::size_t Feed(std::span<const std::uint8_t> bytes);
    // How many bytes the current part still lacks (0 when complete or refused).
    std::size_t Wanted() const;

    State GetState() const { return state_; }
    // True once a byte of a message has arrived and until the message is complete.
    bool InMessage() const;

    // The whole body, valid when complete and until Next().
    std::span<const std::uint8_t> Body() const { return {buffer_.data(), bodyBytes_}; }

    // Ready for the next message.
    void Next();

  private:
    State state_ = State::kLength;
    std::array<std::uint8_t, kLengthFieldSize> field_{};
    std::size_t fieldBytes_ = 0;
    std::uint32_t length_ = 0;
    std::size_t bodyBytes_ = 0;
    std::array<std::uint8_t, kMaxBodySize> buffer_{};
};

}  // namespace gateway
