// Line settings onto a Win32 device control block: binary mode, no flow control, DTR and RTS
// on, the speed, parity, data and stop bits. Used by the Win32 port backend; the callers
// include <windows.h> themselves.
#pragma once

#include "line_settings.h"

struct _DCB;

namespace ducta {

// Fills `dcb` from `line`, keeping the fields the line settings do not decide (the event and
// XON/XOFF characters the driver reported). False, with `dcb` unchanged, for a speed below 1 or
// a format the block cannot describe.
bool ApplyLineSettings(const LineSettings& line, _DCB& dcb);

}  // namespace ducta
