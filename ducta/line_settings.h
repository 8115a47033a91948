// What a channel asks of its serial line, in the platform's own terms nowhere: the termios and
// the Win32 backends each turn it into their line record.
#pragma once

namespace ducta {

enum class Parity { kNone, kOdd, kEven, kMark, kSpace };

// The library always asks for no parity, 8 data bits, 1 stop bit at the speed from DUCTA.INI.
struct LineSettings {
    long baud = 0;
    Parity parity = Parity::kNone;
    int dataBits = 8;  // 5 to 8
    int stopBits = 1;  // 1 or 2
};

}  // namespace ducta
