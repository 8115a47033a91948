#include "session_runner.h"

namespace gateway {

DeviceOutcome SessionRunner::Run(std::uint64_t, const Request& request) {
    switch (request.command) {
        case Command::kDeviceConnect:
            return AsDeviceOutcome(session_.Open());
        case Command::kDeviceDisconnect:
            return AsDeviceOutcome(session_.Close());
        case Command::kSnvtRead:
            return session_.Read(request.snvt);
        case Command::kSnvtWrite:
            return AsDeviceOutcome(session_.Write(request.snvt, request.value));
        case Command::kLastReason:
        case Command::kUnknown:
            break;
    }
    return common::Failure{common::FailureKind::kRefused, "not a request for the device"};
}

void SessionRunner::Finish() {
    if (session_.OpenCount() != 0) static_cast<void>(session_.ForceClose());
}

}  // namespace gateway
