// How vr620-gatewayd learns that it is to stop: SIGINT or SIGTERM on POSIX; on Windows Ctrl-C,
// Ctrl-Break, or the console closing, the user logging off or the system shutting down. The
// main thread sleeps until such a request comes or the gateway ends by itself.
#pragma once

#include <memory>

#include "outcome.h"

namespace gatewayd {

class StopRequests {
  public:
    StopRequests();
    ~StopRequests();
    StopRequests(const StopRequests&) = delete;
    StopRequests& operator=(const StopRequests&) = delete;

    // Takes the requests over from the system's default (which ends the program at once). Call
    // it before any thread is started: on POSIX the signals are blocked in every thread and
    // taken by the main thread alone. With `managerStops` (a Windows service) the stop comes
    // through Request() alone and the console's requests are not taken: a service would hear
    // every user's log-off as one. (On POSIX the signals are taken either way: systemd stops
    // with SIGTERM.)
    common::Outcome<> Open(bool managerStops);
    // Any thread: a stop is requested, as by a signal (the service manager's stop).
    void Request();
    // Any thread: the gateway has ended without being asked to.
    void GatewayEnded();
    // Sleeps until a stop is requested (true) or the gateway has ended by itself (false).
    bool Wait();
    // The stop is done. A console closing, a log-off or a shut-down waits for this (within the
    // little time the system gives) before the system ends the program.
    void Done();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace gatewayd
