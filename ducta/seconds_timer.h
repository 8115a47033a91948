// Whole-second time-out of the modem command wait. It counts seconds of a monotonic clock, so
// that a change of the wall clock can neither end a wait at once nor stretch it.
#pragma once

#include <chrono>

namespace ducta {

class SecondsTimer {
  public:
    using Clock = std::chrono::steady_clock;

    // A limit below 1 counts as 1.
    void Start(int limitSeconds, Clock::time_point now = Clock::now());
    // When the time-out runs out: once the whole seconds passed since the start's whole second
    // exceed the limit, so a limit of L runs out between L and L + 1 seconds after the start.
    Clock::time_point ExpiresAt() const;

  private:
    long long startSecond_ = 0;
    int limit_ = 1;
};

}  // namespace ducta
