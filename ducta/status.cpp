#include "status.h"

#include "port_failure.h"

namespace ducta {

const char* Describe(Status status) {
    switch (status) {
        case Status::kOk:
            return "ok";
        case Status::kNoPort:
            return "no port object";
        case Status::kNotOpen:
            return "no channel open";
        case Status::kRefused:
            return "request refused";
        case Status::kTimeout:
            return "no complete reply in time";
        case Status::kChecksum:
            return "reply checksum mismatch";
        case Status::kFlagged:
            return "the device refused the request";
        case Status::kNoDevicePath:
            return "no device for this COM number";
        case Status::kCannotOpen:
            return "cannot open";
        case Status::kNotATerminal:
            return "not a serial line";
        case Status::kInUse:
            return "in use by another program";
        case Status::kCannotReadLine:
            return "cannot read the line settings";
        case Status::kSpeedRefused:
            return "line speed not supported";
        case Status::kCannotSetLine:
            return "cannot set the line settings";
        case Status::kWriteFailed:
            return "write failed";
        case Status::kWriteIncomplete:
            return "write incomplete";
        case Status::kReadFailed:
            return "read failed";
        case Status::kPortLost:
            return "port lost";
        case Status::kReopenFailed:
            return "cannot reopen";
        case Status::kModemInitFailed:
            return "modem init failed";
        case Status::kModemDialFailed:
            return "modem dial failed";
        case Status::kHangUpFailed:
            return "modem hang-up failed";
        case Status::kNotConnected:
            return "modem line not connected";
    }
    return "unknown";
}

int PortReasonCode(Status status, int systemError) {
    using common::FailureKind;
    using common::PortErrorCode;
    const auto own = [systemError](FailureKind otherwise) {
        return systemError != 0 ? systemError : PortErrorCode(otherwise);
    };
    switch (status) {
        case Status::kNoDevicePath:
            return PortErrorCode(FailureKind::kPortMissing);
        case Status::kCannotOpen:
            return own(FailureKind::kOther);  // ENOENT, EACCES, EIO of a port without hardware
        case Status::kReopenFailed:
            return own(FailureKind::kPortLost);
        case Status::kInUse:
            return PortErrorCode(FailureKind::kPortInUse);
        case Status::kNotATerminal:
        case Status::kCannotReadLine:
            return PortErrorCode(FailureKind::kNotSerial);
        case Status::kSpeedRefused:
        case Status::kCannotSetLine:
        case Status::kRefused:
            return PortErrorCode(FailureKind::kRefused);
        case Status::kPortLost:
            return PortErrorCode(FailureKind::kPortLost);
        case Status::kWriteIncomplete:
            return PortErrorCode(FailureKind::kPortStalled);
        case Status::kReadFailed:
        case Status::kWriteFailed:
            return own(FailureKind::kOther);
        default:
            return PortErrorCode(FailureKind::kOther);
    }
}

}  // namespace ducta
