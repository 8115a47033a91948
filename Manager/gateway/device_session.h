// The manager's side of the one connection to the device: which serial channel, direct or
// through a modem, a reference-counted open shared by all clients, and the two transactions.
// Reached from the server thread and from the user-interface thread; one lock is held for each
// whole operation, library calls included, so that operations never overlap.
#pragma once

#include <cstdint>
#include <string>

namespace gateway {

// Opens not yet balanced by a close; the device is open exactly when it is above 0.
int OpenCount();
// The zero-based serial channel: 0 is COM1.
int GetChannel();
// Moves to another channel; an open device is reopened there with its count kept. When the
// reopen fails the device stays closed on the new channel, the count is 0 and the result false.
bool SetChannel(int channel);
// Takes effect at the next open from count 0. Always true.
bool SetModemSettings(bool useModem, const std::string& init, const std::string& dial,
                      const std::string& hangup);
bool DeviceOpen();
// A failed close leaves the library released and the count at 0, so that the next open starts
// afresh.
bool DeviceClose();
// Closes whatever the count.
bool DeviceForceClose();
// `data` holds at least 254 bytes; the value is followed by a zero byte. A device answer
// without a data field counts as a failed read.
bool SnvtRead(std::uint16_t snvt, std::uint8_t* data, std::uint16_t* length);
// Values above 253 bytes do not fit a device frame and are refused without a library call.
bool SnvtWrite(std::uint16_t snvt, const std::uint8_t* data, std::uint16_t length);
// Back to the initial state (count 0, channel 0, direct, empty modem texts) without closing.
void ResetDeviceSession();

}  // namespace gateway
