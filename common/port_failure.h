// What the system's error code of a failed serial port call says, in the platform's own codes
// (errno on POSIX, GetLastError() on Windows): the device library leaves such a code behind a
// failed call, and the gateway reads it to say why.
#pragma once

#include "outcome.h"

namespace common {

// What `code` tells about a port that failed: kPortMissing, kPortInUse, kNotSerial, kRefused
// (the port or the library refused a value: line settings, a frame too long), kPortLost,
// kPortStalled, or kOther.
FailureKind ClassifyPortError(int code);
// Whether `code`, from a call on a port that is open, says that its device went away (an
// adapter pulled out, a hang-up, a driver that dropped the port).
bool IsDeviceGone(int code);
// The platform's code that tells `kind` (one of those above; any other gives the code of
// kOther), for failures that come without one of their own.
int PortErrorCode(FailureKind kind);

}  // namespace common
