#include "deadline.h"

#include <algorithm>
#include <climits>

namespace common {

int MillisecondsUntil(std::chrono::steady_clock::time_point deadline,
                      std::chrono::steady_clock::time_point now) {
    if (deadline <= now) return 0;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    return static_cast<int>(std::min<decltype(left)>(left, INT_MAX));
}

}  // namespace common
