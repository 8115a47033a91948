#include <cerrno>

#include "port_failure.h"

namespace common {

PortFailure ClassifyPortError(int code) {
    if (IsDeviceGone(code)) return PortFailure::kGone;
    switch (code) {
        case ENOENT:
        case ENOTDIR:
            return PortFailure::kMissing;
        case EBUSY:
        case EWOULDBLOCK:  // the advisory lock of another program
            return PortFailure::kInUse;
        case ENOTTY:
            return PortFailure::kNotSerial;
        case EINVAL:
            return PortFailure::kRefused;
        case ETIMEDOUT:
            return PortFailure::kStalled;
        default:
            return PortFailure::kOther;
    }
}

bool IsDeviceGone(int code) {
    return code == EIO || code == ENXIO || code == ENODEV;
}

int PortErrorCode(PortFailure failure) {
    switch (failure) {
        case PortFailure::kMissing:
            return ENOENT;
        case PortFailure::kInUse:
            return EBUSY;
        case PortFailure::kNotSerial:
            return ENOTTY;
        case PortFailure::kRefused:
            return EINVAL;
        case PortFailure::kGone:
            return ENODEV;
        case PortFailure::kStalled:
            return ETIMEDOUT;
        case PortFailure::kOther:
            break;
    }
    return EPROTO;
}

}  // namespace common
