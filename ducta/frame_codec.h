// The device frame, pure and without I/O:
//   STX(0x02) command length(L) indexHigh indexLow data[L-2] checksum
// L counts the two index bytes and the data; the checksum is the 8-bit sum of the bytes from
// the command byte up to the last data byte. A frame is L + 4 bytes, at most 259.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "ducta.h"

namespace ducta {

inline constexpr std::uint8_t kStx = 0x02;
inline constexpr std::size_t kMaxFrameData = DCT_MAX_DATA;
inline constexpr std::size_t kMaxFrameSize = kMaxFrameData + 6;

// The 8-bit wrapping sum of `bytes`.
std::uint8_t FrameChecksum(std::span<const std::uint8_t> bytes);

// Builds a frame into `out`; returns its size, or 0 when `data` exceeds kMaxFrameData.
std::size_t BuildFrame(std::uint8_t command, std::uint8_t indexHigh, std::uint8_t indexLow,
                       std::span<const std::uint8_t> data,
                       std::array<std::uint8_t, kMaxFrameSize>& out);

// A received frame as the reader collected it; the library's one frame type.
struct Frame {
    std::uint8_t command = 0;
    std::uint8_t lengthByte = 0;
    std::uint8_t indexHigh = 0;
    std::uint8_t indexLow = 0;
    // Data bytes (lengthByte - 2 of them; none when the length byte is 0 or 1).
    std::array<std::uint8_t, kMaxFrameData> data{};
    std::size_t dataSize = 0;
    bool checksumOk = false;
    // Bit 0 of the command byte set marks a flagged (refused) reply.
    bool Flagged() const { return (command & 0x01u) != 0; }
    std::uint16_t Index() const { return static_cast<std::uint16_t>(indexHigh << 8 | indexLow); }
};

// Collects one frame from bytes as they arrive. Bytes before the start byte are dropped;
// the first 0x02 is taken as the start (no search for another one). A length byte of 0 or 1
// gives a frame of L + 4 bytes with no data, whose last byte is taken as the checksum.
class FrameReader {
  public:
    // Feeds one byte; true when the frame is complete (further bytes are then ignored).
    bool Feed(std::uint8_t byte);
    // Feeds bytes up to the end of the frame; gives the number taken.
    std::size_t Feed(std::span<const std::uint8_t> bytes);
    // How many bytes can be read without reaching past the end of the frame (0 once complete).
    std::size_t Wanted() const;
    bool Complete() const { return expected_ != 0 && received_ == expected_; }
    // Number of frame bytes received so far (the start byte included).
    std::size_t Received() const { return received_; }
    // Only meaningful once Complete().
    Frame Result() const;
    void Reset();

  private:
    std::array<std::uint8_t, kMaxFrameSize> buffer_{};
    std::size_t received_ = 0;
    std::size_t expected_ = 0;
};

}  // namespace ducta
