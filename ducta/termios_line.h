// Line settings onto a termios record: raw mode, the speed, parity, data and stop bits.
#pragma once

#include <termios.h>

#include <optional>

namespace ducta {

enum class Parity { kNone, kOdd, kEven, kMark, kSpace };

// What a channel asks of its line; the library always asks for no parity, 8 data bits, 1 stop
// bit at the speed from DUCTA.INI.
struct LineSettings {
    long baud = 0;
    Parity parity = Parity::kNone;
    int dataBits = 8;  // 5 to 8
    int stopBits = 1;  // 1 or 2
};

// The termios speed constant of `baud`, or nothing when termios cannot set it exactly.
// Baud 0 is never a speed: B0 would hang the line up.
std::optional<speed_t> TermiosSpeed(long baud);

// Raw mode with the receiver on and modem lines ignored (so nothing waits for a carrier). A read
// takes what has arrived (VMIN 1 on a non-blocking descriptor: no data is EAGAIN, so a read of
// 0 bytes always means the line hung up). False, with `tio` unchanged, when the speed cannot be
// set.
bool ApplyLineSettings(const LineSettings& line, termios& tio);

}  // namespace ducta
