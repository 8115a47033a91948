// The time-out argument of poll() for a wait that ends at a deadline.
#pragma once

#include <chrono>

namespace posix {

// The milliseconds from `now` until `deadline`, rounded up so that the deadline has passed
// when a wait of that length ends; 0 once it has passed, and no more than an int holds.
int PollTimeout(std::chrono::steady_clock::time_point deadline,
                std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now());

}  // namespace posix
