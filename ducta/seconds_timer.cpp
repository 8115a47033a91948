#include "seconds_timer.h"

namespace ducta {
namespace {

long long WholeSeconds(SecondsTimer::Clock::time_point t) {
    return std::chrono::floor<std::chrono::seconds>(t.time_since_epoch()).count();
}

}  // namespace

void SecondsTimer::Start(int limitSeconds, Clock::time_point now) {
    limit_ = limitSeconds < 1 ? 1 : limitSeconds;
    startSecond_ = WholeSeconds(now);
}

bool SecondsTimer::Expired(Clock::time_point now) const {
    return WholeSeconds(now) - startSecond_ > limit_;
}

SecondsTimer::Clock::time_point SecondsTimer::ExpiresAt() const {
    return Clock::time_point(std::chrono::seconds(startSecond_ + limit_ + 1));
}

}  // namespace ducta
