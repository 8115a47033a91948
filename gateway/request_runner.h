// What carries out the clients' requests for the device: the device session on this computer,
// or, in a relay, another gateway. The device worker hands it one request at a time, on its own
// thread alone, so a runner needs no lock of its own; it may wait (for the serial line, for the
// other gateway), but within bounds of its own.
#pragma once

#include <cstdint>
#include <string>

#include "request.h"

namespace gateway {

class RequestRunner {
  public:
    virtual ~RequestRunner() = default;

    // A request of client connection `connection` (DEVICE_CONNECT, DEVICE_DISCONNECT, SNVT_READ,
    // SNVT_WRITE): a read's value, or why it failed, in words for the log, the reply's
    // LAST_REASON and the device's state.
    virtual DeviceOutcome Run(std::uint64_t connection, const Request& request) = 0;
    // The client's connection has closed: what was kept for it goes.
    virtual void Closed(std::uint64_t connection) = 0;
    // The server ends: whatever is still held goes (the device closed whatever its count).
    virtual void Finish() = 0;
    // What the log's reason lines name the device by: "COM1", or the other gateway
    // ("gw.example:7106").
    virtual std::string Name() const = 0;
};

}  // namespace gateway
