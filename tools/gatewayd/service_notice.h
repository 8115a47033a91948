// What vr620-gatewayd tells a service manager that started it: ready once it listens, its
// status (clients and the device's state) whenever it changes, stopping at the stop, and a
// watchdog's "still alive" when the manager asks for one. On Linux through libsystemd's
// sd_notify, to the socket NOTIFY_SOCKET names; without NOTIFY_SOCKET, and on Windows, nothing
// is sent and nothing changes.
#pragma once

#include <chrono>
#include <mutex>
#include <string>

#include "gateway.h"

namespace gatewayd {

class ServiceNotice {
  public:
    ServiceNotice();

    // Whether a service manager listens; without one the rest sends nothing.
    bool Listening() const { return listening_; }
    // How often to tell the watchdog "still alive": half the period it asked for, or 0 when it
    // asked for none.
    std::chrono::milliseconds WatchdogInterval() const { return watchdogInterval_; }

    void Ready();
    // Sent only when the text differs from the last one sent.
    void Status(const std::string& text);
    void Stopping();
    void Watchdog();

  private:
    void Send(const std::string& state);

    bool listening_ = false;
    std::chrono::milliseconds watchdogInterval_{0};
    std::mutex mutex_;
    std::string lastStatus_;
};

// The device's state as the service's status line: "COM1 (/dev/ttyUSB0): open, 2 clients; ...".
class ServiceStatusReceiver : public gateway::DeviceStatusReceiver {
  public:
    explicit ServiceStatusReceiver(ServiceNotice& notice) : notice_(notice) {}
    void ReceiveDeviceStatus(const gateway::DeviceStatus& status) override;

  private:
    ServiceNotice& notice_;
};

}  // namespace gatewayd
