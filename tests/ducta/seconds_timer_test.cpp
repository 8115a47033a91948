#include "seconds_timer.h"

#include <gtest/gtest.h>

namespace ducta {
namespace {

using Clock = SecondsTimer::Clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

// A start in the middle of a whole second, so both ends of the L..L+1 window show.
const Clock::time_point kStart = Clock::time_point(seconds(1000) + milliseconds(400));

TEST(SecondsTimer, LimitOfLRunsOutBetweenLAndLPlusOneSeconds) {
    SecondsTimer t;
    t.Start(3, kStart);
    EXPECT_EQ(t.ExpiresAt(), Clock::time_point(seconds(1004)));
    EXPECT_GT(t.ExpiresAt(), kStart + milliseconds(3590));
    EXPECT_EQ(t.ExpiresAt(), kStart + milliseconds(3600));
}

TEST(SecondsTimer, LimitBelowOneCountsAsOne) {
    for (int limit : {0, -5}) {
        SecondsTimer t;
        t.Start(limit, kStart);
        EXPECT_GT(t.ExpiresAt(), kStart + milliseconds(1000));
        EXPECT_EQ(t.ExpiresAt(), kStart + milliseconds(1600));
    }
}

TEST(SecondsTimer, RunsOnTheRealMonotonicClock) {
    SecondsTimer t;
    t.Start(1);
    const auto left = t.ExpiresAt() - Clock::now();
    EXPECT_GT(left, milliseconds(900));
    EXPECT_LE(left, milliseconds(2000));
}

}  // namespace
}  // namespace ducta
