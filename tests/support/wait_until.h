// Waiting in a test for something that another thread or process brings about.
#pragma once

#include <chrono>
#include <thread>

namespace vr620_test {

// Polls `condition` until it holds (true) or `limit` has passed (false).
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace vr620_test
