// The gateway server: one thread waits in one poll over the listening sockets (the plain port,
// and a TLS port when asked for), every client, a wake-up signal and a watch of the device's
// path, and keeps each connection's state (its TLS handshake, the message being received, the
// request at the device, the reply being sent, their deadlines), so that no client holds up
// another. Each request is decoded once; what needs the device goes to the device worker, which
// runs it through the request runner (the device session, or a relay's), and its outcome comes
// back to be answered and logged here. While idle it sleeps in the kernel with no time-out, or
// until the nearest deadline: a connection's, the connection log's count of repeated lines, or
// the heartbeat's. Every event is written to the connection log, and the device's state goes to
// the device monitor.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "device_monitor.h"
#include "device_session.h"
#include "device_worker.h"
#include "listeners.h"
#include "path_watch.h"
#include "request.h"
#include "server_config.h"
#include "session_runner.h"
#include "socket_system.h"
#include "tls_context.h"
#include "wake_signal.h"

namespace gateway {

class LogWriter;

class GatewayServer {
  public:
    GatewayServer(LogWriter& log, DeviceMonitor& monitor);
    // Stops the server if it runs.
    ~GatewayServer();
    GatewayServer(const GatewayServer&) = delete;
    GatewayServer& operator=(const GatewayServer&) = delete;

    // Configures the device session, binds and listens, and serves on threads of its own from
    // then on. Why not, with the log lines, when it cannot listen or cannot make its threads.
    // `endedByItself` is called on the server's thread if it ever ends without being asked to.
    // Once per object.
    common::Outcome<> Start(const ServerConfig& config, std::function<void()> endedByItself = {});

    // Any thread; returns at once. The server closes the device (after the transaction that
    // runs, if any), closes every connection and the listening socket and ends its threads;
    // then `stopped` is called on its thread (at once, on the caller's, if it has ended).
    void RequestStop(std::function<void()> stopped = {});
    // RequestStop, then waits until the server has ended.
    void Stop();

    bool Running() const;
    // The port it listens on while it serves, 0 before and after; the same of its TLS port.
    int Port() const;
    int TlsPort() const;
    unsigned ClientCount() const;

    // Device-session operations, queued behind the requests already waiting for the device;
    // `done` is called on the device worker, or at once when the server has ended.
    void SetChannel(int channel, std::function<void(bool)> done = {});
    void SetModemSettings(const ModemSettings& settings, std::function<void()> done = {});

  private:
    struct Connection;
    using Clock = std::chrono::steady_clock;

    void Serve();
    void ShutDown(bool requested);
    int Timeout(Clock::time_point now) const;
    void Accept(const Listener& listener, Clock::time_point now);
    void ContinueHandshake(Connection& connection, Clock::time_point now);
    // The log line of a client whose TLS handshake did not end well.
    void Refuse(Connection& connection, const std::string& reason);
    void Receive(Connection& connection, Clock::time_point now);
    void ServeMessage(Connection& connection, Clock::time_point now);
    // The reply to `connection`'s request and its log lines; `device` names what the request
    // went to ("COM1").
    void Answer(Connection& connection, const DeviceOutcome& outcome, const std::string& device,
                Clock::time_point now);
    // What a request refused without the device would have gone to.
    std::string DeviceName() const;
    void DeliverCompletions(Clock::time_point now);
    void BeginReply(Connection& connection, const Value& body, Clock::time_point now);
    void SendReply(Connection& connection, Clock::time_point now);
    void CheckDeadlines(Connection& connection, Clock::time_point now);
    void Drop(Connection& connection, const char* format);
    bool StopRequested();
    // Watches the device's path while a client holds the device open.
    void FollowHeldPath();
    void CheckWatchedPath();
    void ClientsChanged();
    // After the last client has gone, a device still held open is released in time.
    void ArmRelease();
    void CancelRelease();

    LogWriter& log_;
    DeviceMonitor& monitor_;
    ServerConfig config_;
    std::function<void()> endedByItself_;
    WakeSignal wake_;
    DeviceSession session_{&monitor_};
    SessionRunner sessionRunner_{session_};
    // The configuration's runner, or the session's; the device worker's alone while it runs.
    RequestRunner* runner_ = &sessionRunner_;
    // The other gateway a relay passes the requests to ("gw.example:7106"); empty: the device.
    std::string relayTo_;
    std::unique_ptr<DeviceWorker> worker_;

    // Guards what other threads ask of the server or tell it: whether it runs and has ended,
    // the stop and its callbacks, its port and its count of clients.
    mutable std::mutex mutex_;
    bool running_ = false;
    bool started_ = false;
    bool ended_ = false;
    bool stopRequested_ = false;
    int port_ = 0;
    int tlsPort_ = 0;
    unsigned clientCount_ = 0;
    std::vector<std::function<void()>> stopped_;

    // Guards the join: any thread may stop the server.
    std::mutex joinMutex_;
    std::thread thread_;

    // The serving thread's own.
    std::vector<Listener> listeners_;
    std::unique_ptr<tls::Context> tlsContext_;
    std::vector<std::unique_ptr<Connection>> connections_;
    std::uint64_t nextConnection_ = 1;
    bool acceptFailing_ = false;
    Clock::time_point acceptResumes_{};
    PathWatch watch_;
    std::string watchedPath_;
    Clock::time_point nextHeartbeat_{};
    std::optional<Clock::time_point> releaseDue_;
};

}  // namespace gateway
