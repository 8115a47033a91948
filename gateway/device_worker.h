// The one thread that works on the device session while the gateway runs: jobs run one at a
// time, in the order they were posted, so that the serial line sees one transaction at a time
// and nothing else (accepting, receiving, logging, stopping) waits for it.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "device_session.h"

namespace gateway {

class DeviceWorker {
  public:
    // A job gets the session, or null when it was dropped unrun (the worker was finishing), so
    // that whoever waits for it hears back either way.
    using Job = std::function<void(DeviceSession*)>;

    explicit DeviceWorker(DeviceSession& session);
    ~DeviceWorker();
    DeviceWorker(const DeviceWorker&) = delete;
    DeviceWorker& operator=(const DeviceWorker&) = delete;

    // False when the thread cannot be made.
    bool Start();
    // Any thread. After Finish the job is dropped at once.
    void Post(Job job);
    // Drops the jobs not yet begun, lets the one that runs end, runs `last`, ends the thread.
    void Finish(const Job& last);

  private:
    void Run();

    DeviceSession& session_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    bool finishing_ = false;
    std::thread thread_;
};

}  // namespace gateway
