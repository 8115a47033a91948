// One request frame out, one reply frame in, over the port (the codec does the bytes).
#pragma once

#include <cstdint>
#include <span>

#include "frame_codec.h"
#include "status.h"

namespace ducta {

class SerialPort;

// Builds and sends one frame; the port write discards stale input and output first. kRefused
// (more data than a frame carries; nothing sent, checked first), kNoPort, kNotOpen, kOk once
// every byte went out, or the port's write failure.
Status WriteFrame(SerialPort* port, std::uint8_t command, std::uint8_t indexHigh,
                  std::uint8_t indexLow, std::span<const std::uint8_t> data);

// Receives one frame into `reply`.
//
// The idle budget is pollTimeoutMs / 10 + 1 waits of 10 ms: the line may be silent that long in
// all before the receive gives up with kTimeout. Only silence counts: of each wait, the part up
// to two byte times at the line's speed is the gap a byte takes on the line and is not charged,
// so a reply that arrives at line speed always completes, while one dribbled with long gaps
// still runs out. The whole receive is bounded by the budget plus the line time of the longest
// frame. A line that hangs up ends it at once (kPortLost).
//
// kOk, kChecksum and kFlagged with the frame in `reply`; otherwise kNoPort, kNotOpen, kTimeout
// or a port failure, with `reply` empty.
Status ReadFrame(SerialPort* port, int pollTimeoutMs, Frame& reply);

}  // namespace ducta
