// The gateway's one view of the device's state (device_status.h): the device session reports
// opens, closes and failures from the device worker, the server the clients and what its watch
// of the device's path sees. The snapshot sits under a lock that is never held while the serial
// line is used, so reading it never waits for the line. Every change goes to the attached
// receiver at once.
//
// While a client holds the device open, the port going away and coming back are written to the
// connection log: "Device on COM<N> (<path>) lost" and "... back".
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <mutex>
#include <string>

#include "device_status.h"

namespace gateway {

class LogWriter;

class DeviceMonitor {
  public:
    explicit DeviceMonitor(LogWriter& log) : log_(log) {}
    DeviceMonitor(const DeviceMonitor&) = delete;
    DeviceMonitor& operator=(const DeviceMonitor&) = delete;

    DeviceStatus Snapshot() const;
    // Attaches `receiver` (null detaches) and hands it the snapshot at once.
    void Attach(DeviceStatusReceiver* receiver);

    // The COM number in use and its device path (empty: none).
    void SetPort(int com, const std::string& path);
    void Dialling();
    // Opened: connected through the modem, or open.
    void Opened(bool modemConnected);
    void Closed();
    // Why a command just failed; the time is now.
    void Failed(const std::string& reason);
    // A transfer went through: a lost port is back.
    void TransferWorked();
    // The port has gone (its path vanished, or a transfer found it gone): the line "lost" when
    // the device is held open and was not lost yet.
    void PortLost();
    // The port's path is there again: the line "back" when it was lost. A modem line stays lost
    // (nothing dials it again behind the clients' backs).
    void PortBack();
    // The modem line went away under a transfer; its reason line says so.
    void ModemConnectionLost();
    void SetClients(unsigned clients);
    // When the device that nobody holds any longer is to be released; nothing: not at all.
    void ReleaseAt(std::optional<std::chrono::system_clock::time_point> when);
    // Whether a client holds the device open (lost included).
    bool Held() const;

    // The device path while a client holds the device open (the one to watch), else empty.
    std::string HeldPath() const;

  private:
    // Runs `change` on the status under the lock; when it reports a change, hands the new
    // snapshot to the receiver, after the log line it left in `line` (if any).
    void Change(const std::function<bool(DeviceStatus&, std::string& line)>& change);
    bool HeldLocked() const;  // with mutex_ held

    LogWriter& log_;
    std::mutex deliverMutex_;  // one delivery at a time, in the order of the changes
    mutable std::mutex mutex_;  // guards the snapshot and what the changes remember
    DeviceStatus status_;
    DeviceStatusReceiver* receiver_ = nullptr;  // under deliverMutex_
    DeviceState openedAs_ = DeviceState::kOpen;
    bool portGone_ = false;  // lost through the port (not the modem line): "back" may follow
    std::chrono::steady_clock::time_point reasonDelivered_{};
};

}  // namespace gateway
