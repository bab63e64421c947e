// Curve fits, slope and area on data whose answer is known.

#include "charts/CurveFit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace vantrel {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct tData {
    std::vector<double> x;
    std::vector<double> y;
};

tData sample(double from, double to, double step, const std::function<double(double)>& f) {
    tData d;
    for (double x = from; x <= to + step / 2; x += step) {
        d.x.push_back(x);
        d.y.push_back(f(x));
    }
    return d;
}

using tParameters = std::array<double, 3>;

struct tModelCase {
    std::string name;
    tFitModel model;
    tParameters truth;
    double origin;  // of the exponential
    double from, to, step;
};

double truthAt(const tModelCase& c, double x) {
    return evaluate(c.model, c.truth, c.origin, x);
}

// Well posed: each term moves y by several units over the stretch. The "late"
// cases sit a day into a run, where powers of x are nearly parallel.
const std::vector<tModelCase>& modelCases() {
    static const std::vector<tModelCase> cases = {
        {"line", tFitModel::Linear, {3, -0.5, 0}, 0, 0, 20, 0.5},
        {"late line", tFitModel::Linear, {25, 0.002, 0}, 0, 86400, 88200, 10},
        {"parabola", tFitModel::Quadratic, {1, 2, -0.5}, 0, -3, 5, 0.25},
        {"late parabola", tFitModel::Quadratic, {3, 0.002, -1e-8}, 0, 86400, 88200, 10},
        {"cooling", tFitModel::Exponential, {20, 60, -1.0 / 300}, 0, 0, 1800, 10},
        {"late heating", tFitModel::Exponential, {95, -70, -1.0 / 600}, 86400, 86400, 88200, 10},
    };
    return cases;
}

TEST(CurveFitTest, ExactDataGiveBackTheirParameters) {
    for (const tModelCase& c : modelCases()) {
        SCOPED_TRACE(c.name);
        const tData d = sample(c.from, c.to, c.step, [&](double x) { return truthAt(c, x); });
        const tCurveFit fit = fitCurve(c.model, d.x, d.y);
        ASSERT_TRUE(fit.ok()) << static_cast<int>(fit.status);
        EXPECT_EQ(fit.points, d.x.size());
        for (std::size_t i = 0; i < parameterCount(c.model); ++i) {
            EXPECT_NEAR(fit.parameters[i], c.truth[i], 1e-9 * std::fabs(c.truth[i])) << i;
        }
        EXPECT_NEAR(evaluate(fit, c.to), truthAt(c, c.to), 1e-12 * std::fabs(truthAt(c, c.to)));
        EXPECT_NEAR(fit.rSquared, 1, 1e-12);
    }
}

// Normal deviates from a generator whose sequence the standard fixes, so that
// every platform draws the same noise.
class tNoise {
public:
    explicit tNoise(std::uint64_t seed) : engine_(seed) {}
    double operator()(double sigma) {
        const double u1 = uniform();
        const double u2 = uniform();
        return sigma * std::sqrt(-2 * std::log(u1)) * std::cos(2 * std::numbers::pi * u2);
    }

private:
    double uniform() { return (static_cast<double>(engine_() >> 11) + 0.5) * 0x1p-53; }
    std::mt19937_64 engine_;
};

// The standard errors are right when the truth lies within one of them about
// 68% of the time and within two about 95%: too small fails the first bound
// of either, too large the second of the first.
TEST(CurveFitTest, StandardErrorsMatchTheScatterOfRepeatedRuns) {
    constexpr int kRuns = 200;
    for (const tModelCase& c : modelCases()) {
        SCOPED_TRACE(c.name);
        const double sigma = 0.5;
        std::array<int, 3> withinOne{};
        std::array<int, 3> withinTwo{};
        for (int run = 0; run < kRuns; ++run) {
            tNoise noise(static_cast<std::uint64_t>(run) + 1);
            tData d =
                sample(c.from, c.to, (c.to - c.from) / 60, [&](double x) { return truthAt(c, x); });
            for (double& y : d.y) {
                y += noise(sigma);
            }
            const tCurveFit fit = fitCurve(c.model, d.x, d.y);
            ASSERT_TRUE(fit.ok()) << "run " << run;
            for (std::size_t i = 0; i < parameterCount(c.model); ++i) {
                const double error = std::fabs(fit.parameters[i] - c.truth[i]);
                withinOne[i] += error <= fit.standardErrors[i];
                withinTwo[i] += error <= 2 * fit.standardErrors[i];
            }
        }
        for (std::size_t i = 0; i < parameterCount(c.model); ++i) {
            EXPECT_GE(withinOne[i], 0.55 * kRuns) << i;
            EXPECT_LE(withinOne[i], 0.80 * kRuns) << i;
            EXPECT_GE(withinTwo[i], 0.90 * kRuns) << i;
        }
    }
}

TEST(CurveFitTest, DataThatCannotBeFittedSayWhy) {
    struct tCase {
        std::string name;
        tFitModel model;
        std::vector<double> x, y;
        tFitStatus status;
    };
    const std::vector<double> ramp{0, 1, 2, 3, 4, 5, 6};
    const std::vector<double> same(ramp.size(), 2.0);
    const std::vector<double> twoX{1, 1, 1, 4, 4, 4, 4};
    const std::vector<double> huge{-1e300, 1e300, -1e300, 1e300, -1e300, 1e300, -1e300};
    const std::vector<double> vast{-1e308, 0, 1e308, 1.5e308, 1, 2, 3};
    const std::vector<double> gaps{0, kNaN, 2, kInf, kNaN, 5, kNaN};
    const std::vector<double> two{0, 1};
    const std::vector<double> three{0, 1, 2};
    const std::vector<tCase> cases = {
        {"no points", tFitModel::Linear, {}, {}, tFitStatus::TooFewPoints},
        {"a line through two", tFitModel::Linear, two, two, tFitStatus::TooFewPoints},
        {"a parabola through three", tFitModel::Quadratic, three, ramp, tFitStatus::TooFewPoints},
        {"gaps leave three", tFitModel::Exponential, gaps, twoX, tFitStatus::TooFewPoints},
        {"y shorter than x", tFitModel::Exponential, ramp, three, tFitStatus::TooFewPoints},
        {"line, one x", tFitModel::Linear, same, ramp, tFitStatus::Singular},
        {"parabola, one x", tFitModel::Quadratic, same, ramp, tFitStatus::Singular},
        {"exponential, one x", tFitModel::Exponential, same, ramp, tFitStatus::Singular},
        {"parabola, two x", tFitModel::Quadratic, twoX, ramp, tFitStatus::Singular},
        {"exponential, flat", tFitModel::Exponential, ramp, same, tFitStatus::Singular},
        {"exponential, straight", tFitModel::Exponential, ramp, ramp, tFitStatus::Singular},
        {"line, y overflows", tFitModel::Linear, ramp, huge, tFitStatus::NotFinite},
        {"exponential, y overflows", tFitModel::Exponential, ramp, huge, tFitStatus::NotFinite},
        {"exponential, x overflows", tFitModel::Exponential, vast, ramp, tFitStatus::NotFinite},
    };
    for (const tCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(fitCurve(c.model, c.x, c.y).status, c.status);
    }
}

TEST(CurveFitTest, PointsThatAreNotNumbersAreLeftOut) {
    for (const tModelCase& c : modelCases()) {
        SCOPED_TRACE(c.name);
        const tData clean = sample(c.from, c.to, (c.to - c.from) / 40,
                                   [&](double x) { return truthAt(c, x) + std::sin(x); });
        tData mixed = clean;
        mixed.x.insert(mixed.x.begin() + 3, kNaN);
        mixed.y.insert(mixed.y.begin() + 3, 7);
        mixed.x.insert(mixed.x.begin() + 10, c.to);
        mixed.y.insert(mixed.y.begin() + 10, -kInf);
        mixed.x.push_back(kInf);
        mixed.y.push_back(kNaN);
        const tCurveFit expected = fitCurve(c.model, clean.x, clean.y);
        const tCurveFit fit = fitCurve(c.model, mixed.x, mixed.y);
        ASSERT_TRUE(fit.ok());
        EXPECT_EQ(fit.points, clean.x.size());
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_DOUBLE_EQ(fit.parameters[i], expected.parameters[i]);
            EXPECT_DOUBLE_EQ(fit.standardErrors[i], expected.standardErrors[i]);
        }
    }
}

TEST(CurveFitTest, SlopeIsTheLocalLineThroughTheWindow) {
    // y = x² every 0.5: a window centred on the point gives 2x exactly; at an
    // end only one side is there.
    const tData d = sample(0, 10, 0.5, [](double x) { return x * x; });
    struct tCase {
        std::size_t p;
        double window;
        double slope;
    };
    for (const tCase& c : {tCase{10, 0, 10}, tCase{10, 2, 10}, tCase{4, 3, 4}, tCase{0, 0, 0.5},
                           tCase{20, 0.4, 19.5}}) {
        SCOPED_TRACE(testing::Message() << "p " << c.p << " window " << c.window);
        const std::optional<double> slope = slopeAt(d.x, d.y, c.p, c.window);
        ASSERT_TRUE(slope);
        EXPECT_NEAR(*slope, c.slope, 1e-12);
    }

    // The window ends at the first point outside it, even if later ones come back.
    const std::vector<double> x{0, 1, 2, 3, 9, 3, 2};
    const std::vector<double> y{0, 2, 4, 6, 100, 0, 0};
    EXPECT_NEAR(*slopeAt(x, y, 2, 4), 2, 1e-12);

    // Gaps are stepped over, and nothing is made up where there is no line.
    const std::vector<double> gappy{0, kNaN, 2, 3};
    EXPECT_NEAR(*slopeAt(gappy, std::vector<double>{1, 5, 5, 7}, 2, 0), 2, 1e-12);
    EXPECT_FALSE(slopeAt(d.x, d.y, d.x.size(), 1));
    EXPECT_FALSE(slopeAt(gappy, gappy, 1, 1));
    EXPECT_FALSE(slopeAt(std::vector<double>{1, 1, 1}, std::vector<double>{1, 2, 3}, 1, 1));
    EXPECT_FALSE(slopeAt(std::vector<double>{1}, std::vector<double>{1}, 0, 1));
}

TEST(CurveFitTest, AreaByTrapezoids) {
    const tData line = sample(0, 10, 0.5, [](double x) { return 2 * x + 1; });
    EXPECT_NEAR(areaUnder(line.x, line.y), 110, 1e-9) << "exact for a line";

    tData gap = line;
    gap.y[5] = kNaN;
    gap.x[12] = kInf;
    EXPECT_NEAR(areaUnder(gap.x, gap.y), 110, 1e-9) << "bridged, not dropped";

    const tData sine =
        sample(0, std::numbers::pi, std::numbers::pi / 1000, [](double x) { return std::sin(x); });
    EXPECT_NEAR(areaUnder(sine.x, sine.y), 2, 2e-6);

    const std::vector<double> back{3, 2, 1};
    EXPECT_DOUBLE_EQ(areaUnder(back, std::vector<double>{1, 1, 1}), -2);
    EXPECT_EQ(areaUnder(std::vector<double>{1, kNaN}, std::vector<double>{1, 1}), 0);
}

}  // namespace
}  // namespace vantrel
