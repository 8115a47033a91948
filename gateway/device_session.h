// The gateway's side of the one connection to the device: which serial channel, direct or
// through a modem, a reference-counted open shared by all clients, and the two transactions.
// Every operation returns what it came to, with the reason of a failure read from the device
// library right after the failed call. The object has no lock: while the gateway runs, only its
// device worker uses it, so that operations never overlap.
//
// With a monitor it also reports the device's state (opened, closed, lost, a reply came) there.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "failure_reason.h"
#include "modem_settings.h"
#include "outcome.h"
#include "request.h"

namespace gateway {

class DeviceMonitor;

class DeviceSession {
  public:
    explicit DeviceSession(DeviceMonitor* monitor = nullptr) : monitor_(monitor) {}

    // Opens not yet balanced by a close; the device is open exactly when it is above 0.
    int OpenCount() const { return openCount_; }
    // The COM number of the channel: the zero-based channel plus one.
    int Com() const { return channel_ + 1; }

    // Moves to another zero-based channel (0 is COM1); an open device is reopened there with its
    // count kept. When the reopen fails the device stays closed on the new channel with the
    // count 0.
    common::Outcome<> SetChannel(int channel);
    // Takes effect at the next open from count 0.
    void SetModemSettings(const ModemSettings& settings) { modem_ = settings; }

    common::Outcome<> Open();
    // A failed close leaves the library released and the count at 0, so that the next open
    // starts afresh.
    common::Outcome<> Close();
    // Closes whatever the count.
    common::Outcome<> ForceClose();
    // The value read; a reply without a data field is a failure.
    common::Outcome<Value> Read(std::uint16_t snvt);
    // The device library refuses values above 253 bytes, which do not fit a device frame.
    common::Outcome<> Write(std::uint16_t snvt, std::span<const std::uint8_t> value);

  private:
    std::uint8_t ChannelByte() const { return static_cast<std::uint8_t>(channel_ & 0xFF); }
    // One request and its reply: the reply's value (a write's acknowledgement may have none),
    // or why it failed.
    common::Outcome<Value> Transact(std::uint16_t snvt, std::uint8_t command,
                                    std::span<const std::uint8_t> data);
    // Why a library call failed, from its result and the thread's last error read right after
    // it; reported to the monitor.
    common::Failure Fail(DeviceFailure::Call call, std::uint16_t result, int code);
    common::Failure Fail(common::Failure failure);

    int openCount_ = 0;
    int channel_ = 0;
    ModemSettings modem_;
    DeviceMonitor* monitor_;
    std::optional<std::string> path_;  // of the channel, as resolved at the last open
};

}  // namespace gateway
