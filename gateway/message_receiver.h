// The receiving half of one gateway connection: the 4-byte big-endian length field, then the
// body, gathered from whatever pieces the stream delivers. Pure, without I/O, so that it can
// be driven from a byte buffer alone.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "message_format.h"

namespace gateway {

class MessageReceiver {
  public:
    enum class State {
        kLength,    // gathering the length field
        kBody,      // gathering the body
        kComplete,  // a whole message is in Buffer()
        kTooLong,   // the announced body is above kMaxBodySize (or has the top bit set)
    };

    MessageReceiver();

    // Takes bytes of the stream up to the end of the current message and returns how many it
    // took; nothing once the message is complete or refused.
    std::size_t Feed(std::span<const std::uint8_t> bytes);
    // How many bytes the current part still lacks (0 when complete or refused).
    std::size_t Wanted() const;

    State GetState() const { return state_; }
    // True once a byte of a message has arrived and until the message is complete.
    bool InMessage() const;
    std::uint32_t AnnouncedLength() const { return length_; }

    // Valid when complete: the body, followed by a zero byte, in a buffer of kMaxBodySize + 1
    // bytes (the reply is built in it).
    std::vector<std::uint8_t>& Buffer() { return buffer_; }
    int BodyLength() const { return static_cast<int>(length_); }

    // Lends the buffer out while a request is served elsewhere; Next() takes it back.
    std::vector<std::uint8_t> TakeBuffer();
    // Ready for the next message, with `buffer` (if given) as the buffer again.
    void Next(std::vector<std::uint8_t> buffer = {});

  private:
    State state_ = State::kLength;
    std::array<std::uint8_t, kLengthFieldSize> field_{};
    std::size_t fieldBytes_ = 0;
    std::uint32_t length_ = 0;
    std::size_t bodyBytes_ = 0;
    std::vector<std::uint8_t> buffer_;
};

}  // namespace gateway
