#include "status.h"

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

}  // namespace ducta
