// A client's request, decoded once from its body into what it asks for, and the reply body
// that an outcome makes of it. Pure, without I/O or device, so that it can be driven from a byte
// buffer alone.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "outcome.h"

namespace gateway {

using Value = std::vector<std::uint8_t>;
// What a request for the device came to: a read's value (empty for the other commands), or why
// it failed.
using DeviceOutcome = common::Outcome<Value>;

// An outcome without a value, as a request's outcome.
inline DeviceOutcome AsDeviceOutcome(const common::Outcome<>& outcome) {
    if (outcome.Ok()) return Value{};
    return outcome.Why();
}

enum class Command {
    kDeviceConnect,
    kDeviceDisconnect,
    kSnvtRead,
    kSnvtWrite,
    kLastReason,
    kUnknown,
};

struct Request {
    Command command = Command::kUnknown;
    // The code and SNVT number as they came (missing bytes as zero): every reply starts with
    // them.
    std::array<std::uint8_t, 4> header{};
    std::uint16_t snvt = 0;
    // A write's value; for an unknown message, the echo.
    Value value;
    // Why the gateway answers this known command ERROR without the device (a body shorter than
    // the header, a value that does not fit a device frame).
    std::optional<common::Failure> refusal;

    // Whether the device session has to run it.
    bool ForDevice() const;
};

// `body` is a whole received body of at most kMaxBodySize bytes. An empty body or an unknown
// code is an unknown message, echoed up to its first zero byte.
Request DecodeRequest(std::span<const std::uint8_t> body);

// The reply body: the request's code and SNVT number, the status, and on success the value.
// Not for an unknown message, whose reply is its echo.
Value EncodeReply(const Request& request, const DeviceOutcome& outcome);

// "SNVT_READ", ...; null for an unknown message.
const char* CommandName(Command command);

}  // namespace gateway
