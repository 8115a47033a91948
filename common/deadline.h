// The time left until a deadline, as the millisecond time-outs of poll() and of the Windows
// waits take it.
#pragma once

#include <chrono>

namespace common {

// The milliseconds from `now` until `deadline`, rounded up so that the deadline has passed
// when a wait of that length ends; 0 once it has passed, and no more than an int holds.
int MillisecondsUntil(std::chrono::steady_clock::time_point deadline,
                      std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now());

}  // namespace common
