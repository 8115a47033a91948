// One request frame out, one reply frame in, over the port (the codec does the bytes).
#pragma once

#include <cstdint>
#include <span>

namespace ducta {

class SerialPort;

inline constexpr int kFrameNoPort = -1;
inline constexpr int kFrameOk = 0;
inline constexpr int kFrameNotOpen = 2;
inline constexpr int kFrameTimeout = 3;
inline constexpr int kFrameChecksum = 4;
inline constexpr int kFrameFlagged = 5;
inline constexpr int kFrameTooLong = 6;  // more data than a frame can carry; nothing sent

// Builds and sends one frame; the port write discards stale input and output first.
// -1 no port, 2 not open, 6 too long, 0 handed to the port (a short write is not reported).
int WriteFrame(SerialPort* port, std::uint8_t command, std::uint8_t indexHigh,
               std::uint8_t indexLow, std::span<const std::uint8_t> data);

struct ReplyFrame {
    std::uint8_t command = 0;
    std::uint8_t indexHigh = 0;
    std::uint8_t indexLow = 0;
    std::uint16_t dataLength = 0;
};

// Receives one frame. The data go to `data` followed by a NUL; it must hold 254 bytes.
// Gives up once the line has been silent for about pollTimeoutMs + 10 ms in total (counted in
// waits of up to 10 ms, pollTimeoutMs / 10 + 1 of them when nothing arrives at all). -1, 2, 3
// (time-out, length 0), 4 checksum, 5 flagged, 0 valid; the fields of `reply` are filled for 0, 4
// and 5.
int ReadFrame(SerialPort* port, int pollTimeoutMs, ReplyFrame& reply, std::span<std::uint8_t> data);

}  // namespace ducta
