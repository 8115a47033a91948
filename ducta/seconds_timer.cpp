#include "seconds_timer.h"

namespace ducta {

void SecondsTimer::Start(int limitSeconds, Clock::time_point now) {
    limit_ = limitSeconds < 1 ? 1 : limitSeconds;
    startSecond_ = std::chrono::floor<std::chrono::seconds>(now.time_since_epoch()).count();
}

SecondsTimer::Clock::time_point SecondsTimer::ExpiresAt() const {
    return Clock::time_point(std::chrono::seconds(startSecond_ + limit_ + 1));
}

}  // namespace ducta
