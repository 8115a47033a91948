// Why a call of the device library failed, in the connection log's words: from the call's
// result and, for a failed call, the reason the library left as the thread's last error
// (ducta.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "outcome.h"

namespace gateway {

struct DeviceFailure {
    enum class Call { kOpen, kTransfer, kClose };
    Call call = Call::kTransfer;
    std::uint16_t result = 0;  // the library's result
    int code = 0;              // the thread's last error right after the call
};

// Its kind and words ("no reply", "port /dev/ttyUSB0 lost", "modem: BUSY", ...): `path` is the
// device path of COM`com` (nothing when DUCTA.INI maps it to none).
common::Failure FailureOf(const DeviceFailure& failure, int com,
                          const std::optional<std::string>& path);

}  // namespace gateway
