// Line settings onto a termios record: raw mode, the speed, parity, data and stop bits. Used by
// the POSIX port backend (and the simulator); the callers include <termios.h> themselves.
#pragma once

#include <optional>

#include "line_settings.h"

struct termios;

namespace ducta {

// The termios speed constant (a speed_t) of `baud`, or nothing when termios cannot set it
// exactly. Baud 0 is never a speed: B0 would hang the line up.
std::optional<unsigned> TermiosSpeed(long baud);

// Raw mode with the receiver on and modem lines ignored (so nothing waits for a carrier). A read
// takes what has arrived (VMIN 1 on a non-blocking descriptor: no data is EAGAIN, so a read of
// 0 bytes always means the line hung up). False, with `tio` unchanged, when the speed cannot be
// set.
bool ApplyLineSettings(const LineSettings& line, termios& tio);

}  // namespace ducta
