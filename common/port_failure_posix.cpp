#include <cerrno>

#include "port_failure.h"

namespace common {

FailureKind ClassifyPortError(int code) {
    if (IsDeviceGone(code)) return FailureKind::kPortLost;
    switch (code) {
        case ENOENT:
        case ENOTDIR:
            return FailureKind::kPortMissing;
        case EBUSY:
        case EWOULDBLOCK:  // the advisory lock of another program
            return FailureKind::kPortInUse;
        case ENOTTY:
            return FailureKind::kNotSerial;
        case EINVAL:
            return FailureKind::kRefused;
        case ETIMEDOUT:
            return FailureKind::kPortStalled;
        default:
            return FailureKind::kOther;
    }
}

bool IsDeviceGone(int code) {
    return code == EIO || code == ENXIO || code == ENODEV;
}

int PortErrorCode(FailureKind kind) {
    switch (kind) {
        case FailureKind::kPortMissing:
            return ENOENT;
        case FailureKind::kPortInUse:
            return EBUSY;
        case FailureKind::kNotSerial:
            return ENOTTY;
        case FailureKind::kRefused:
            return EINVAL;
        case FailureKind::kPortLost:
            return ENODEV;
        case FailureKind::kPortStalled:
            return ETIMEDOUT;
        default:
            return EPROTO;
    }
}

}  // namespace common
