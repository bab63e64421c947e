#include "station/RateMeter.h"

#include <gtest/gtest.h>

#include "run/Quantities.h"

namespace vantrel {
namespace {

tReadingValues shown(float lt) {
    return {lt, 7.0f, 100.0f, 0.5f, 0.0f, 0.0f, 0.0f};
}

TEST(RateMeter, ZeroInTheFirstSecondThenPerMinuteOverTheLatestSecond) {
    tRateMeter meter;
    // Temperature = t²: over the second before t it rises by 2t - 1.
    tReadingValues rates{};
    for (int step = 0; step <= 20; ++step) {  // 0 .. 5.0 s
        const float t = 0.25f * static_cast<float>(step);
        rates = meter.Add(t, shown(t * t));
        if (step <= 4) {
            EXPECT_EQ(rates[qLT], 0.0f) << "at " << t;
        } else {
            EXPECT_NEAR(rates[qLT], (2 * t - 1) * 60, 0.1) << "at " << t;
        }
    }
    EXPECT_EQ(rates[qLP], 0.0f);  // constant pH

    meter.Reset();  // a new run: nothing a second back
    EXPECT_EQ(meter.Add(10.0f, shown(0.0f))[qLT], 0.0f);
    EXPECT_EQ(meter.Add(11.0f, shown(1.0f))[qLT], 0.0f);
}

TEST(RateMeter, UsesOnlyTheNewestSecondWhenTheClockStalls) {
    tRateMeter meter;
    meter.Add(0.0f, shown(0.0f));
    meter.Add(1.0f, shown(10.0f));
    meter.Add(2.0f, shown(20.0f));
    for (int i = 0; i < 50; ++i) {  // same time over and over
        EXPECT_NEAR(meter.Add(2.0f, shown(20.0f))[qLT], 600.0f, 0.1f);
    }
    EXPECT_NEAR(meter.Add(2.5f, shown(30.0f))[qLT], 1200.0f, 0.1f);  // 30 - 10 over [1, 2.5]
}

}  // namespace
}  // namespace vantrel
