// The manager's side of the one connection to the device: which serial channel, direct or
// through a modem, a reference-counted open shared by all clients, and the two transactions.
// The object has no lock: while the gateway runs, only its device worker uses it, so that
// operations never overlap; the count and the channel may be read from any thread.
#pragma once

#include <atomic>
#include <cstdint>

#include "device_actions.h"
#include "modem_settings.h"

namespace gateway {

class DeviceSession : public DeviceActions {
  public:
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

  private:
    std::uint8_t ChannelByte() const { return static_cast<std::uint8_t>(channel_.load() & 0xFF); }
    bool Transact(std::uint16_t snvt, std::uint8_t command, const std::uint8_t* data,
                  std::uint16_t dataLength, std::uint8_t* reply, std::uint16_t* replyLength);

    std::atomic<int> openCount_{0};
    std::atomic<int> channel_{0};
    ModemSettings modem_;
};

}  // namespace gateway
