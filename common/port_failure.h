// What the system's error code of a failed serial port call says, in the platform's own codes
// (errno on POSIX, GetLastError() on Windows): the device library leaves such a code behind a
// failed call, and the gateway reads it to say why.
#pragma once

namespace common {

enum class PortFailure {
    kMissing,    // the device does not exist
    kInUse,      // another program holds it
    kNotSerial,  // it is no serial line
    kRefused,    // it or the library refused a value (line settings, a frame too long)
    kGone,       // it went away (an adapter pulled out, a hang-up)
    kStalled,    // the line stopped taking bytes
    kOther,
};

// What `code` tells about a port that failed.
PortFailure ClassifyPortError(int code);
// Whether `code`, from a call on a port that is open, says that its device went away (an
// adapter pulled out, a hang-up, a driver that dropped the port).
bool IsDeviceGone(int code);
// The platform's code that tells `failure`, for failures that come without one of their own.
int PortErrorCode(PortFailure failure);

}  // namespace common
