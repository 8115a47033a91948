// The gateway server: one thread waits in one poll over the listening socket, every client, a
// wake-up signal and a watch of the device's path, and keeps each connection's state (the
// message being received, the reply being sent, its deadlines), so that no client holds up
// another. Requests that need the device go to the device worker, one at a time in arrival
// order. While idle it sleeps in the kernel with no time-out, or until the nearest deadline: a
// connection's, the connection log's count of repeated failures, or the heartbeat's. Every event
// is written to the connection log, and the device's state goes to the device monitor.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device_monitor.h"
#include "device_session.h"
#include "device_worker.h"
#include "path_watch.h"
#include "server_config.h"
#include "socket_system.h"
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
    // then on. False, with the log line, when it cannot listen or cannot make its threads.
    // `endedByItself` is called on the server's thread if it ever ends without being asked to.
    // Once per object.
    bool Start(const ServerConfig& config, std::function<void()> endedByItself = {});

    // Any thread; returns at once. The server closes the device (after the transaction that
    // runs, if any), closes every connection and the listening socket and ends its threads;
    // then `stopped` is called on its thread (at once, on the caller's, if it has ended).
    void RequestStop(std::function<void()> stopped = {});
    // RequestStop, then waits until the server has ended.
    void Stop();

    bool Running() const { return running_.load(); }
    // The port it listens on while it serves, 0 before and after.
    int Port() const { return port_.load(); }
    unsigned ClientCount() const { return clientCount_.load(); }
    int Channel() const { return session_.GetChannel(); }
    int OpenCount() const { return session_.OpenCount(); }

    // Device-session operations, queued behind the requests already waiting for the device;
    // `done` is called on the device worker, or at once when the server has ended.
    void SetChannel(int channel, std::function<void(bool)> done = {});
    void SetModemSettings(const ModemSettings& settings, std::function<void()> done = {});
    void DeviceForceClose(std::function<void(bool)> done = {});

  private:
    struct Connection;
    // A reply body from the device worker.
    struct Completion {
        std::uint64_t connection = 0;
        std::vector<std::uint8_t> reply;
    };
    using Clock = std::chrono::steady_clock;

    void Serve();
    void ShutDown(bool requested);
    int Timeout(Clock::time_point now) const;
    void Accept(Clock::time_point now);
    void Receive(Connection& connection, Clock::time_point now);
    void ServeMessage(Connection& connection, Clock::time_point now);
    void BeginReply(Connection& connection, const std::vector<std::uint8_t>& body,
                    Clock::time_point now);
    void SendReply(Connection& connection, Clock::time_point now);
    void CheckDeadlines(Connection& connection, Clock::time_point now);
    void Drop(Connection& connection, const char* format);
    void DeliverCompletions(Clock::time_point now);
    void PushCompletion(Completion completion);
    // Watches the device's path while a client holds the device open.
    void FollowHeldPath();
    void CheckWatchedPath();
    void ClientsChanged();

    LogWriter& log_;
    DeviceMonitor& monitor_;
    ServerConfig config_;
    std::function<void()> endedByItself_;
    DeviceSession session_{&monitor_};
    DeviceWorker worker_{session_};

    int listener_ = net::kInvalidSocket;
    WakeSignal wake_;
    std::thread thread_;
    std::mutex joinMutex_;

    std::atomic<bool> running_{false};
    std::atomic<bool> stopRequested_{false};
    std::atomic<int> port_{0};
    std::atomic<unsigned> clientCount_{0};

    // Handed over from the device worker.
    std::mutex completionMutex_;
    std::deque<Completion> completions_;

    // Guards the stop callbacks and whether the server has ended.
    std::mutex stopMutex_;
    bool started_ = false;
    bool ended_ = false;
    std::vector<std::function<void()>> stopped_;

    // The serving thread's own.
    std::vector<std::unique_ptr<Connection>> connections_;
    std::uint64_t nextConnection_ = 1;
    bool acceptFailing_ = false;
    Clock::time_point acceptResumes_{};
    PathWatch watch_;
    std::string watchedPath_;
    Clock::time_point nextHeartbeat_{};
};

}  // namespace gateway
