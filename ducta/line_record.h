// Line settings onto the platform's own record of a serial line: a termios record on POSIX, a
// Win32 device control block on Windows. Each platform's file defines its half; the callers
// (the port's platform file, and the simulator on POSIX) include the system's header themselves.
#pragma once

#include <optional>

#include "line_settings.h"

struct termios;
struct _DCB;

namespace ducta {

// POSIX: the termios speed constant (a speed_t) of `baud`, or nothing when termios cannot set
// it exactly. Baud 0 is never a speed: B0 would hang the line up.
std::optional<unsigned> TermiosSpeed(long baud);

// POSIX: raw mode with the receiver on and modem lines ignored (so nothing waits for a
// carrier), the speed, parity, data and stop bits. A read takes what has arrived (VMIN 1 on a
// non-blocking descriptor: no data is EAGAIN, so a read of 0 bytes always means the line hung
// up). False, with `tio` unchanged, when the speed cannot be set.
bool ApplyLineSettings(const LineSettings& line, termios& tio);

// Windows: binary mode, no flow control, DTR and RTS on, the speed, parity, data and stop bits,
// keeping the fields the line settings do not decide (the event and XON/XOFF characters the
// driver reported). False, with `dcb` unchanged, for a speed below 1 or a format the block
// cannot describe.
bool ApplyLineSettings(const LineSettings& line, _DCB& dcb);

}  // namespace ducta
