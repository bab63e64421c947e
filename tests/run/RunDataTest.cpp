#include "run/RunData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "run/Quantities.h"

namespace vantrel {
namespace {

tReadingValues reading(float lt, float pH = 7.0f) {
    return {lt, pH, 100.0f, 0.5f, 0.0f, 0.0f, 0.0f};
}

std::array<bool, kQuantityCount> relativeTemperature() {
    std::array<bool, kQuantityCount> relative{};
    relative[qLT] = true;
    return relative;
}

// The one rule for the point at a place: the nearest, the lower index on a
// tie, the first of records of one time. A click and the hover text use it.
TEST(RunData, NearestPointToATimeOrToAnAbscissaValue) {
    tRunData run;
    run.Start(relativeTemperature());
    EXPECT_EQ(run.NearestPoint(1.0), std::nullopt) << "no records";
    EXPECT_EQ(run.NearestToValue(qLT, 1.0), std::nullopt) << "no records";
    // Temperatures 10, 30, 20, 20, 30: shown 0, 20, 10, 10, 20.
    const float times[] = {1, 2, 2, 2, 3};
    const float temperatures[] = {10, 30, 20, 20, 30};
    for (int k = 0; k < 5; ++k) {
        run.Add(times[k], reading(temperatures[k]));
    }
    const double nan = std::nan("");
    const struct {
        bool byTime;
        double at;
        std::optional<std::size_t> nearest;
    } cases[] = {
        {true, 0.0, 0},
        {true, 1.5, 0},
        {true, 1.6, 1},
        {true, 2.0, 1},
        {true, 2.5, 1},
        {true, 2.6, 4},
        {true, 9.0, 4},
        {true, nan, std::nullopt},
        {false, 15, 1},
        {false, 11, 2},
        {false, 10, 2},
        {false, -5, 0},
        {false, 100, 1},
        {false, 25, 1},
        {false, nan, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.byTime ? run.NearestPoint(c.at) : run.NearestToValue(qLT, c.at), c.nearest)
            << (c.byTime ? "time " : "value ") << c.at;
    }
}

TEST(RunData, ShownIsTheDifferenceFromTheFirstReadingWhereRelative) {
    tRunData run;
    run.Start(relativeTemperature());
    run.Add(1.0, reading(20.5f, 6.5f));
    run.Add(0.5, reading(22.75f, 7.25f));  // older, yet the first reading stays the base
    EXPECT_EQ(run.RelativeBase(qLT), 20.5);
    EXPECT_EQ(run.RelativeBase(qLP), 0.0);
    EXPECT_EQ(run.Measured(qLT, 0), 22.75);
    EXPECT_EQ(run.Shown(qLT, 0), 2.25f);
    EXPECT_EQ(run.Shown(qLT, 1), 0.0f);
    EXPECT_EQ(run.Shown(qLP, 0), 7.25f);

    run.Start({});
    EXPECT_TRUE(run.Empty());
    run.Add(1.0, reading(30.0f));
    EXPECT_EQ(run.Shown(qLT, 0), 30.0f);
}

}  // namespace
}  // namespace vantrel
