#include <windows.h>

#include "port_failure.h"

namespace common {

FailureKind ClassifyPortError(int code) {
    switch (static_cast<DWORD>(code)) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return FailureKind::kPortMissing;
        // An open that another program's handle turns away. On a handle already open the first
        // means that the device went away, but the library reports that with a code of its own.
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY:
            return FailureKind::kPortInUse;
        case ERROR_INVALID_FUNCTION:
        case ERROR_NOT_SUPPORTED:
            return FailureKind::kNotSerial;
        case ERROR_INVALID_PARAMETER:
            return FailureKind::kRefused;
        case ERROR_TIMEOUT:
        case ERROR_SEM_TIMEOUT:
            return FailureKind::kPortStalled;
        default:
            return IsDeviceGone(code) ? FailureKind::kPortLost : FailureKind::kOther;
    }
}

bool IsDeviceGone(int code) {
    switch (static_cast<DWORD>(code)) {
        case ERROR_BROKEN_PIPE:
        case ERROR_DEVICE_REMOVED:
        case ERROR_BAD_COMMAND:
        case ERROR_GEN_FAILURE:
        case ERROR_ACCESS_DENIED:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_NOT_READY:
        // Aborted, but not by us: the driver ends pending I/O this way when its device goes.
        case ERROR_OPERATION_ABORTED:
            return true;
        default:
            return false;
    }
}

int PortErrorCode(FailureKind kind) {
    DWORD code = ERROR_IO_DEVICE;
    switch (kind) {
        case FailureKind::kPortMissing:
            code = ERROR_FILE_NOT_FOUND;
            break;
        case FailureKind::kPortInUse:
            code = ERROR_ACCESS_DENIED;
            break;
        case FailureKind::kNotSerial:
            code = ERROR_INVALID_FUNCTION;
            break;
        case FailureKind::kRefused:
            code = ERROR_INVALID_PARAMETER;
            break;
        case FailureKind::kPortLost:
            code = ERROR_DEVICE_NOT_CONNECTED;
            break;
        case FailureKind::kPortStalled:
            code = ERROR_TIMEOUT;
            break;
        default:
            break;
    }
    return static_cast<int>(code);
}

}  // namespace common
