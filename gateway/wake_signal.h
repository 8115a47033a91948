// Wakes the serving loop from another thread: a descriptor that the loop polls with its
// sockets becomes readable. An eventfd on POSIX; on Windows, where WSAPoll waits on sockets
// only, a connected pair of loopback TCP sockets.
#pragma once

namespace gateway {

class WakeSignal {
  public:
    WakeSignal() = default;
    ~WakeSignal();
    WakeSignal(const WakeSignal&) = delete;
    WakeSignal& operator=(const WakeSignal&) = delete;

    // False, with the system's error left for LastSystemError / net::LastError, when it cannot
    // be made.
    bool Open();
    // What the loop polls for readability.
    int Handle() const { return readEnd_; }
    // Any thread; never waits. Raises that come before Clear are one wake-up.
    void Raise();
    // The loop, once Handle() is readable.
    void Clear();

  private:
    int readEnd_ = -1;
    int writeEnd_ = -1;
};

}  // namespace gateway
