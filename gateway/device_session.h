// The manager's side of the one connection to the device: which serial channel, direct or
// through a modem, a reference-counted open shared by all clients, and the two transactions.
// The object has no lock: while the gateway runs, only its device worker uses it, so that
// operations never overlap; the count and the channel may be read from any thread.
//
// When a library call fails, the session reads the reason the library left as the thread's
// last error at once and keeps it in words (FailureLine); with a monitor it also reports the
// device's state and the reasons there.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "device_actions.h"
#include "failure_reason.h"
#include "modem_settings.h"

namespace gateway {

class DeviceMonitor;

class DeviceSession : public DeviceActions {
  public:
    explicit DeviceSession(DeviceMonitor* monitor = nullptr) : monitor_(monitor) {}

    // Opens not yet balanced by a close; the device is open exactly when it is above 0.
    int OpenCount() const { return openCount_.load(); }
    // The zero-based serial channel: 0 is COM1.
    int GetChannel() const { return channel_.load(); }
    // Moves to another channel; an open device is reopened there with its count kept. When the
    // reopen fails the device stays closed on the new channel, the count is 0 and the result
    // false.
    bool SetChannel(int channel);
    // Takes effect at the next open from count 0. Always true.
    bool SetModemSettings(const ModemSettings& settings);

    bool DeviceOpen() override;
    // A failed close leaves the library released and the count at 0, so that the next open
    // starts afresh.
    bool DeviceClose() override;
    // Closes whatever the count.
    bool DeviceForceClose();
    // `data` holds at least 254 bytes; the value is followed by a zero byte. The length is the
    // library's: above 253 (a "negative" one) when the answer has no data field.
    bool SnvtRead(std::uint16_t snvt, std::uint8_t* data, std::uint16_t* length) override;
    // The library refuses values above 253 bytes, which do not fit a device frame.
    bool SnvtWrite(std::uint16_t snvt, const std::uint8_t* data, std::uint16_t length) override;

    // "Device on COM<N>: <reason>" for the action that failed last.
    std::string FailureLine(std::string_view gatewayReason = {}) override;

  private:
    std::uint8_t ChannelByte() const { return static_cast<std::uint8_t>(channel_.load() & 0xFF); }
    int Com() const { return channel_.load() + 1; }
    bool Transact(std::uint16_t snvt, std::uint8_t command, const std::uint8_t* data,
                  std::uint16_t dataLength, std::uint8_t* reply, std::uint16_t* replyLength);
    // Keeps why a library call failed; `code` is the thread's last error read right after it.
    void Fail(DeviceFailure::Call call, std::uint16_t result, int code);
    void Fail(std::string reason);

    std::atomic<int> openCount_{0};
    std::atomic<int> channel_{0};
    ModemSettings modem_;
    DeviceMonitor* monitor_;
    std::optional<std::string> path_;  // of the channel, as resolved at the last open
    std::string reason_;               // why the last action failed
};

}  // namespace gateway
