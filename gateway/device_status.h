// The device's state as a status display shows it: which port, whether it is open, lost or
// connected through the modem, how many clients are connected, and the last reason a command
// failed. The gateway keeps one such snapshot and hands every change to one receiver.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace gateway {

enum class DeviceState {
    kClosed,          // nobody holds the device open
    kDialling,        // the modem is being set up and dialled
    kOpen,            // open on a direct cable (or a modem channel that dials nothing)
    kModemConnected,  // connected through the modem
    kLost,            // held open, but the port or the modem line has gone
};

// "closed", "dialling", "open", "connected through the modem", "lost".
const char* DeviceStateWords(DeviceState state);

struct DeviceStatus {
    int com = 1;       // the COM number: the session's channel + 1; 0 for a relay
    std::string path;  // its device path (empty when DUCTA.INI maps it to none), or a relay's
                       // "relay to gw.example:7106"
    DeviceState state = DeviceState::kClosed;
    unsigned clients = 0;    // connected clients
    std::string lastReason;  // why the last failed command failed; empty until one failed
    std::chrono::system_clock::time_point lastReasonTime{};
    // When a device that is held open while no client is connected will be released.
    std::optional<std::chrono::system_clock::time_point> releaseAt;
};

// One line for a service manager's status, in the connection log's words:
// "COM1 (/dev/ttyUSB0): open, 2 clients; last reason at 09.12.2026 13:45:02: no reply", and
// "; released at 09.12.2026 13:46:02 unless a client connects" while a release is pending; a
// relay's "relay to gw.example:7106, 2 clients; last reason ..."
std::string DescribeDeviceStatus(const DeviceStatus& status);

// The receiving side: the manager's log window, or the headless gateway's service status.
class DeviceStatusReceiver {
  public:
    virtual ~DeviceStatusReceiver() = default;
    // Called on the thread that made the change (the server's, the device worker's, or the one
    // that attached the receiver), one call at a time, in the order of the changes. It must
    // take the snapshot without waiting for another thread (a window queues a copy) and must
    // not change the gateway from inside the call; reading it (GetDeviceStatus) is allowed.
    virtual void ReceiveDeviceStatus(const DeviceStatus& status) = 0;
};

}  // namespace gateway
