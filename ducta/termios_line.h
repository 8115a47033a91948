// Line settings onto a termios record: raw mode, the speed, parity, data and stop bits.
#pragma once

#include <termios.h>

#include <optional>

#include "port_settings.h"

namespace ducta {

// The termios speed constant of `baud`, or nothing when termios cannot set it exactly.
// Baud 0 is never a speed: B0 would hang the line up.
std::optional<speed_t> TermiosSpeed(long baud);

// Raw mode with the receiver on and modem lines ignored (so nothing waits for a carrier),
// reads that never wait. False, with `tio` unchanged, when the speed cannot be set.
bool ApplyLineSettings(const LineSettings& line, termios& tio);

}  // namespace ducta
