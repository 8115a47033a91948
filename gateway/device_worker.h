// The one thread that works on the device session while the gateway runs: it takes the jobs of
// the device queue one at a time, in their order, so that the serial line sees one transaction
// at a time and nothing else (accepting, receiving, logging, stopping) waits for it. The
// clients' requests go through a request runner: the device session's, or a relay's. What a
// client's request came to goes back to the serving loop as a completion, with a wake-up.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device_queue.h"
#include "device_session.h"
#include "request.h"
#include "request_runner.h"

namespace gateway {

class WakeSignal;

// What one client's request (or a read that others joined) came to; or, with no connections,
// a device that nobody held any longer released after `releasedAfter` seconds.
struct Completion {
    std::vector<std::uint64_t> connections;
    DeviceOutcome outcome;
    std::string device;  // what it went to, as the runner names it: "COM1"
    int releasedAfter = 0;
};

class DeviceWorker {
  public:
    // The clients' requests go to `runner`, the gateway's own operations to `session`. `wake`
    // is raised after every job.
    DeviceWorker(RequestRunner& runner, DeviceSession& session, WakeSignal& wake, bool coalesce);
    ~DeviceWorker();
    DeviceWorker(const DeviceWorker&) = delete;
    DeviceWorker& operator=(const DeviceWorker&) = delete;

    // False when the thread cannot be made.
    bool Start();
    // Any thread. After Finish a client's request is dropped and an operation's `done` is told
    // that it failed, at once.
    void Post(std::uint64_t connection, Request request);
    void Post(DeviceJob job);
    // The serving thread: the completions since the last call.
    std::deque<Completion> TakeCompletions();
    // Drops the jobs not yet begun, lets the one that runs end, ends the thread and finishes the
    // runner (the device closed whatever its count).
    void Finish();

  private:
    void Run();
    void Perform(DeviceJob& job);

    RequestRunner& runner_;
    DeviceSession& session_;
    WakeSignal& wake_;
    // Guards the queue, the completions and finishing_; the runner and the session are the
    // thread's alone.
    std::mutex mutex_;
    std::condition_variable jobsWaiting_;
    DeviceQueue queue_;
    std::deque<Completion> completions_;
    bool finishing_ = false;
    std::thread thread_;
};

}  // namespace gateway
