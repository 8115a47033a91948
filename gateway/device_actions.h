// The device actions behind the four gateway commands. The device session is the real one;
// the command handling needs nothing else of it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace gateway {

class DeviceActions {
  public:
    virtual ~DeviceActions() = default;
    virtual bool DeviceOpen() = 0;
    virtual bool DeviceClose() = 0;
    // `data` holds at least kMaxValueSize + 1 bytes; `*length` is the value's length as the
    // device library reports it.
    virtual bool SnvtRead(std::uint16_t snvt, std::uint8_t* data, std::uint16_t* length) = 0;
    virtual bool SnvtWrite(std::uint16_t snvt, const std::uint8_t* data, std::uint16_t length) = 0;

    // The line that says why the action just answered false ("Device on COM1: no reply"), asked
    // right after it on the same thread; with `gatewayReason`, why the gateway itself answered
    // ERROR although the device did not fail (a value the device answered that cannot be passed
    // on). Empty when the device cannot tell.
    virtual std::string FailureLine(std::string_view gatewayReason = {}) {
        static_cast<void>(gatewayReason);
        return {};
    }
};

}  // namespace gateway
