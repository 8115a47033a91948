// How vr620-gatewayd lives under the system's service manager, and what it tells the manager.
//
// Linux: systemd starts it as any program. Through libsystemd's sd_notify, to the socket that
// NOTIFY_SOCKET names, the manager hears that the gateway is ready once it listens, its status
// (the device's state and the clients) whenever it changes, that it stops, and the watchdog's
// "still alive". It stops the gateway with SIGTERM. Without NOTIFY_SOCKET nothing is sent.
//
// Windows, with --service: the program is a service of the service control manager. The
// calling thread serves the manager's dispatcher and the program runs on the service's thread:
// START_PENDING until it listens, then RUNNING; the manager's stop or shut-down is handed to the
// program, which is STOP_PENDING while it stops in order and STOPPED at its end, with its exit
// code as the service-specific code when that is not 0. The start, the stop and a failure go to
// the Event Log under the source "VR620 gateway"; the connection log goes to a file, since a
// service has no console. Without --service it is a console program and none of this happens.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "gateway.h"

namespace gatewayd {

class ServiceHost {
  public:
    // The program's work under its host; gives the exit code.
    using Program = std::function<int(ServiceHost&)>;
    // Runs `program` and gives its exit code: with `asService` on Windows under the service
    // control manager (2, with a message on standard error, when the manager did not start this
    // process), otherwise here and now.
    static int Run(bool asService, const Program& program);

    ~ServiceHost();
    ServiceHost(const ServiceHost&) = delete;
    ServiceHost& operator=(const ServiceHost&) = delete;

    // Whether a service manager listens; without one the reports below send nothing.
    bool Listening() const;
    // How often to tell the watchdog "still alive": half the period it asked for, or 0.
    std::chrono::milliseconds WatchdogInterval() const;
    // Whether the stop comes from the manager alone (a Windows service), not from signals or a
    // console.
    bool ManagerStops() const;
    // Whether anybody reads standard output: not a Windows service.
    bool HasStandardOutput() const;
    // The connection log's file when the command line names none: a Windows service's
    // %ProgramData%\VR620\vr620-gatewayd.log; empty elsewhere (standard output alone).
    std::filesystem::path DefaultLogFile() const;

    // Where the manager's stop request goes (any thread); set it before Ready().
    void OnStopRequest(std::function<void()> request);
    // It listens, and `what` it serves: READY=1; RUNNING, and `what` in the Event Log.
    void Ready(const std::string& what);
    // Sent only when the text differs from the last one sent.
    void Status(const std::string& text);
    // The orderly stop begins: STOPPING=1; STOP_PENDING, kept alive while the stop runs.
    void Stopping();
    void Watchdog();
    // It could not start, or ended by itself, and `why`: an error in the Event Log. (Under
    // systemd the caller's line on standard error reaches the journal.)
    void Failed(const std::string& why);

  private:
    ServiceHost();
    struct State;
    std::unique_ptr<State> state_;
};

// The device's state as the service's status line: "COM1 (/dev/ttyUSB0): open, 2 clients; ...".
class ServiceStatusReceiver : public gateway::DeviceStatusReceiver {
  public:
    explicit ServiceStatusReceiver(ServiceHost& host) : host_(host) {}
    void ReceiveDeviceStatus(const gateway::DeviceStatus& status) override;

  private:
    ServiceHost& host_;
};

}  // namespace gatewayd
