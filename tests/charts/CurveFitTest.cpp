// Curve fits, slope and area on data whose answer is known.

#include "charts/CurveFit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "base/Functions.h"
#include "base/Locale.h"
#include "charts/StretchFit.h"
#include "run/Quantities.h"

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

// The truth is written about the stretch's start, `from`, as the fit is.
struct tModelCase {
    std::string name;
    tFitModel model;
    tParameters truth;
    double from, to, step;
};

double truthAt(const tModelCase& c, double x) {
    return evaluate(c.model, c.truth, c.from, x);
}

// Well posed: each term moves y by several units over the stretch. The "late"
// cases sit a day into a run, where powers of x are nearly parallel.
const std::vector<tModelCase>& modelCases() {
    static const std::vector<tModelCase> cases = {
        {"line", tFitModel::Linear, {3, -0.5, 0}, 0, 20, 0.5},
        {"late line", tFitModel::Linear, {25, 0.002, 0}, 86400, 88200, 10},
        {"parabola", tFitModel::Quadratic, {-0.5, 5, -0.5}, -3, 5, 0.25},
        {"late parabola", tFitModel::Quadratic, {3, 0.002, -1e-6}, 86400, 88200, 10},
        {"cooling", tFitModel::Exponential, {20, 60, -1.0 / 300}, 0, 1800, 10},
        {"late heating", tFitModel::Exponential, {95, -70, -1.0 / 600}, 86400, 88200, 10},
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
        EXPECT_EQ(fit.origin, c.from);
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
        {"line, flat", tFitModel::Linear, ramp, same, tFitStatus::NoChange},
        {"parabola, flat", tFitModel::Quadratic, twoX, same, tFitStatus::NoChange},
        {"exponential, flat", tFitModel::Exponential, ramp, same, tFitStatus::NoChange},
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

// ---- a stretch late in a run, against least squares done here another way

// Solves the normal equations m·p = r (n ≤ 3) by elimination with pivoting.
template <std::size_t N>
std::array<long double, N> solve(std::array<std::array<long double, N + 1>, N> m) {
    for (std::size_t col = 0; col < N; ++col) {
        std::size_t pivot = col;
        for (std::size_t row = col + 1; row < N; ++row) {
            if (std::fabs(m[row][col]) > std::fabs(m[pivot][col])) {
                pivot = row;
            }
        }
        std::swap(m[col], m[pivot]);
        for (std::size_t row = col + 1; row < N; ++row) {
            const long double f = m[row][col] / m[col][col];
            for (std::size_t k = col; k <= N; ++k) {
                m[row][k] -= f * m[col][k];
            }
        }
    }
    std::array<long double, N> p{};
    for (std::size_t col = N; col-- > 0;) {
        long double sum = m[col][N];
        for (std::size_t k = col + 1; k < N; ++k) {
            sum -= m[col][k] * p[k];
        }
        p[col] = sum / m[col][col];
    }
    return p;
}

// Least squares of y on the basis functions of u = (x − x0)/width, in long
// double; the residual sum of squares and the coefficients.
template <std::size_t N>
std::pair<long double, std::array<long double, N>> leastSquares(
    const tData& d, const std::function<std::array<long double, N>(long double)>& basis) {
    const long double x0 = d.x.front();
    const long double width = d.x.back() - x0;
    std::array<std::array<long double, N + 1>, N> m{};
    for (std::size_t i = 0; i < d.x.size(); ++i) {
        const auto f = basis((d.x[i] - x0) / width);
        for (std::size_t r = 0; r < N; ++r) {
            for (std::size_t c = 0; c < N; ++c) {
                m[r][c] += f[r] * f[c];
            }
            m[r][N] += f[r] * d.y[i];
        }
    }
    const auto p = solve<N>(m);
    long double rss = 0;
    for (std::size_t i = 0; i < d.x.size(); ++i) {
        const auto f = basis((d.x[i] - x0) / width);
        long double r = d.y[i];
        for (std::size_t k = 0; k < N; ++k) {
            r -= p[k] * f[k];
        }
        rss += r * r;
    }
    return {rss, p};
}

// The best curve of the model through d, as a function of x: the parabola
// directly; the exponential as the rate whose best plateau and amplitude
// leave the least residual, found by a golden-section search on the rate.
std::function<double(double)> referenceFit(tFitModel model, const tData& d) {
    const long double x0 = d.x.front();
    const long double width = d.x.back() - x0;
    if (model == tFitModel::Quadratic) {
        const auto p = leastSquares<3>(d, [](long double u) {
                           return std::array<long double, 3>{1, u, u * u};
                       }).second;
        return [=](double x) {
            const long double u = (x - x0) / width;
            return static_cast<double>(p[0] + u * (p[1] + u * p[2]));
        };
    }
    const auto profile = [&](long double logRate) {
        const long double k = -std::exp(logRate);
        return leastSquares<2>(d, [k](long double u) {
            return std::array<long double, 2>{1, std::exp(k * u)};
        });
    };
    long double low = std::log(1e-3L);
    long double high = std::log(1e3L);
    const long double golden = (std::sqrt(5.0L) - 1) / 2;
    for (int step = 0; step < 200; ++step) {
        const long double left = high - golden * (high - low);
        const long double right = low + golden * (high - low);
        if (profile(left).first < profile(right).first) {
            high = right;
        } else {
            low = left;
        }
    }
    const long double k = -std::exp((low + high) / 2);
    const auto p = profile((low + high) / 2).second;
    return
        [=](double x) { return static_cast<double>(p[0] + p[1] * std::exp(k * (x - x0) / width)); };
}

// The recorder's numbers read back: NAME=VALUE after the model's name.
std::vector<double> lineValues(const std::string& line, const std::vector<std::string>& names) {
    std::vector<double> values;
    for (const std::string& name : names) {
        const std::size_t at = line.find("\t" + name + "=");
        values.push_back(
            at == std::string::npos ? kNaN : std::strtod(&line[at + name.size() + 2], nullptr));
    }
    return values;
}

// The caption's number after `what` ("a = "), whatever the decimal separator.
double captionValue(std::string caption, const std::string& what) {
    std::replace(caption.begin(), caption.end(), localeFacts().decimalSeparator, '.');
    const std::size_t at = caption.find(what);
    return at == std::string::npos ? kNaN : std::strtod(&caption[at + what.size()], nullptr);
}

// A cooling curve with noise (so that no parameter is met exactly), fitted
// from far into the run: the fit, the recorder's line and the chart's
// caption each give the independent fit's value at the stretch's start and
// end, and name the start in full.
TEST(CurveFitTest, LateStretchIsWrittenAboutItsStart) {
    struct tCase {
        tFitModel model;
        double from;
    };
    for (const tCase& c : {tCase{tFitModel::Quadratic, 12345.6},
                           {tFitModel::Exponential, 12345.6},
                           {tFitModel::Exponential, 86400.2}}) {
        const std::string name(fitModelName(c.model));
        SCOPED_TRACE(name + " from " + std::to_string(c.from));
        tNoise noise(7);
        const tData d = sample(c.from, c.from + 300, 1, [&](double x) {
            return 20 + 60 * std::exp(-(x - c.from) / 60) + noise(0.2);
        });
        const std::function<double(double)> reference = referenceFit(c.model, d);
        const double start = reference(c.from);
        const double end = reference(d.x.back());

        const tCurveFit fit = fitCurve(c.model, d.x, d.y);
        ASSERT_TRUE(fit.ok());
        EXPECT_EQ(fit.origin, c.from);
        EXPECT_NEAR(evaluate(fit, c.from), start, 1e-6);
        EXPECT_NEAR(evaluate(fit, d.x.back()), end, 1e-6);
        const double a = c.model == tFitModel::Quadratic ? fit.parameters[0]
                                                         : fit.parameters[0] + fit.parameters[1];
        EXPECT_NEAR(a, start, 1e-6) << "a is the curve at the start";

        tRunColumns run;
        run.time = d.x;
        run.values[qLT] = d.y;
        const std::vector<std::string> lines =
            stretchLines(run, {{qLT, -1, c.model}}, c.from, d.x.back());
        ASSERT_EQ(lines.size(), 1u);
        const std::vector<double> p = lineValues(lines[0], {"a", "b", "c", "x0"});
        EXPECT_EQ(p[3], c.from) << lines[0];
        const std::array<double, 3> printed{p[0], p[1], p[2]};
        // Six significant digits of each parameter.
        EXPECT_NEAR(evaluate(c.model, printed, p[3], c.from), start, 1e-3) << lines[0];
        EXPECT_NEAR(evaluate(c.model, printed, p[3], d.x.back()), end, 1e-3) << lines[0];

        // Four significant digits on the chart; the start as the time is shown.
        const std::string caption = fitCaption(qLT, -1, fit);
        const std::string t0 = formatFixed(c.from, 1);
        EXPECT_NE(caption.find("(t − " + t0 + ")"), std::string::npos) << caption;
        const std::array<double, 3> shown{captionValue(caption, "a = "),
                                          captionValue(caption, "b = "),
                                          captionValue(caption, "c = ")};
        EXPECT_NEAR(evaluate(c.model, shown, c.from, c.from), start, 0.02) << caption;
        EXPECT_NEAR(evaluate(c.model, shown, c.from, d.x.back()), end, 0.2) << caption;
    }
}

// A volume that was never dosed: no curve claims to fit it perfectly.
TEST(CurveFitTest, ACurveThatDoesNotChangeHasNothingToFit) {
    tRunColumns run;
    for (int k = 0; k < 50; ++k) {
        run.time.push_back(0.2 * k);
    }
    run.values[qV2].assign(run.time.size(), 0.0);
    for (tFitModel model : {tFitModel::Linear, tFitModel::Quadratic, tFitModel::Exponential}) {
        const std::string name(fitModelName(model));
        SCOPED_TRACE(name);
        const tCurveFit fit = fitCurve(model, run.time, run.values[qV2]);
        EXPECT_EQ(fit.status, tFitStatus::NoChange);
        EXPECT_EQ(stretchLines(run, {{qV2, -1, model}}, 0, 10),
                  std::vector<std::string>{"fit\tV2\t" + name + "\tnone\tno change to fit"});
        const std::string caption = fitCaption(qV2, -1, fit);
        EXPECT_EQ(caption.find("R²"), std::string::npos) << caption;
        EXPECT_NE(caption.find("не меняется"), std::string::npos) << caption;
    }
}

}  // namespace
}  // namespace vantrel
