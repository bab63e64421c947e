// The equivalence point of titration curves whose inflection is known.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "charts/ChartModel.h"
#include "charts/Equivalence.h"

namespace vantrel {
namespace {

using tPh = std::function<double(double)>;

struct tRun {
    std::vector<double> volume;
    std::vector<double> pH;
};

// A jump of 10 pH units centred at `centre`; a negative width falls.
tPh sigmoid(double centre, double width) {
    return [=](double v) { return 7.0 + 5.0 * std::tanh((v - centre) / width); };
}

// 50 ml of 0.01 M strong acid titrated with 0.1 M strong base: equivalence at 5 ml.
double strongAcidByBase(double v) {
    const double excess = (0.5 - 0.1 * v) / (50.0 + v);  // mol/l of acid left
    const double root = std::sqrt(excess * excess + 4e-14);
    const double h = excess >= 0 ? (excess + root) / 2 : 2e-14 / (root - excess);
    return -std::log10(h);
}

// Uniform in [-amplitude, amplitude], the same on every platform.
class tNoise {
public:
    tNoise(double amplitude, std::uint32_t seed) : amplitude_(amplitude), random_(seed) {}
    double operator()() {
        return amplitude_ * (2.0 * static_cast<double>(random_()) / 4294967295.0 - 1.0);
    }

private:
    double amplitude_;
    std::mt19937 random_;
};

// A reading every `step` ml from `from` to `to`; `pauses` volumes at which
// dosing stops for `pauseReadings` readings.
tRun dosed(const tPh& f, double from, double to, double step, double noise = 0,
           std::vector<double> pauses = {}, int pauseReadings = 0) {
    tRun run;
    tNoise jitter(noise, 7);
    auto read = [&](double v) {
        run.volume.push_back(v);
        run.pH.push_back(f(v) + jitter());
    };
    for (int i = 0;; ++i) {
        const double v = from + i * step;
        if (v > to + 1e-9) {
            break;
        }
        read(v);
        for (double at : pauses) {
            if (std::fabs(v - at) < step / 2) {
                for (int j = 0; j < pauseReadings; ++j) {
                    read(v);
                }
            }
        }
    }
    return run;
}

struct tCase {
    std::string name;
    tPh pH;  // without noise
    tRun run;
    std::optional<double> equivalence;  // ml
};

TEST(Equivalence, FindsTheKnownInflectionOrNone) {
    const tPh buffered = [](double v) { return 4.0 + 2.0 * std::tanh((v - 5.0) / 3.0); };
    const tPh steadyRise = [](double v) { return 2.0 + 0.3 * v; };
    const tPh smallStep = [](double v) { return 7.0 + 0.2 * std::tanh((v - 5.0) / 0.03); };
    const std::vector<tCase> cases = {
        // Between readings: the refinement has to find it.
        {"SteepSigmoid", sigmoid(4.237, 0.03), dosed(sigmoid(4.237, 0.03), 0, 10, 0.02), 4.237},
        {"StrongAcidByStrongBase", strongAcidByBase, dosed(strongAcidByBase, 0, 10, 0.05), 5.0},
        // Dosed by hand, 0.2 ml at a time: the jump lies between two readings.
        {"ManualSteps", sigmoid(4.3, 0.15), dosed(sigmoid(4.3, 0.15), 0, 8, 0.2), 4.3},
        {"SensorNoise", sigmoid(6.113, 0.05), dosed(sigmoid(6.113, 0.05), 0, 10, 0.02, 0.05),
         6.113},
        // Before dosing, in the jump itself and after the pump stopped.
        {"PausesInDosing", sigmoid(5.03, 0.04),
         dosed(sigmoid(5.03, 0.04), 0, 8, 0.02, 0.02, {0.0, 5.0, 8.0}, 80), 5.03},
        {"AcidIntoBase", sigmoid(3.5, -0.04), dosed(sigmoid(3.5, -0.04), 0, 8, 0.02, 0.02), 3.5},
        {"NoJump", steadyRise, dosed(steadyRise, 0, 10, 0.02, 0.02), std::nullopt},
        {"SmallStep", smallStep, dosed(smallStep, 0, 10, 0.02, 0.005), std::nullopt},
        {"BufferedNoClearPeak", buffered, dosed(buffered, 0, 10, 0.02, 0.01), std::nullopt},
        {"StoppedInTheJump", sigmoid(5.0, 0.05), dosed(sigmoid(5.0, 0.05), 0, 5.06, 0.02),
         std::nullopt},
        {"NoReadings", steadyRise, {}, std::nullopt},
    };
    for (const tCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<tEquivalencePoint> found = findEquivalencePoint(c.run.volume, c.run.pH);
        ASSERT_EQ(found.has_value(), c.equivalence.has_value())
            << (found ? "found V=" + std::to_string(found->volume) : "none");
        if (found) {
            RecordProperty(c.name, std::to_string(found->volume));
            EXPECT_NEAR(found->volume, *c.equivalence, 0.05);
            // The pH of the curve at the volume found, not of some reading near it.
            EXPECT_NEAR(found->pH, c.pH(found->volume), 0.2);
        }
    }
}

TEST(Equivalence, DerivativeSkipsPausesReversalsAndBadReadings) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // pH = 2 + 0.5 V, with the pump paused at 1 ml, a reading that is no
    // number, and a volume that went back.
    const std::vector<double> volume = {0.0, 0.5, 1.0, 1.0, 1.0, nan, 1.5, 1.2, 2.0, 2.5, 3.0};
    std::vector<double> pH;
    for (double v : volume) {
        pH.push_back(2.0 + 0.5 * v);
    }
    pH[7] = 9.0;  // with the reversed volume: would spoil the slope if used
    const std::vector<tDerivativePoint> d = pHDerivative(volume, pH);
    ASSERT_EQ(d.size(), 5u);  // 0.5 .. 2.5: the ends have no neighbour on one side
    for (std::size_t i = 0; i < d.size(); ++i) {
        EXPECT_DOUBLE_EQ(d[i].volume, 0.5 * static_cast<double>(i + 1));
        EXPECT_NEAR(d[i].slope, 0.5, 1e-12) << "at " << d[i].volume;
    }
    // Spans of different lengths: the shorter one counts.
    EXPECT_EQ(pHDerivative(std::span(volume).first(4), pH).size(), 1u);
}

// A run recorded through the charts gives the point of the station's
// readings, whichever quantities were relative and whatever the check items
// say after the run. The volume starts above 0, so a relative volume counts.
TEST(Equivalence, RunsWithRelativeReadingsGiveThePointInTheStationsUnits) {
    const tRun lesson = dosed(sigmoid(5.03, 0.04), 1.0, 8.0, 0.02);
    std::vector<double> asSent;  // the readings in single precision, as decoded
    for (double v : lesson.volume) {
        asSent.push_back(static_cast<float>(v));
    }
    const std::optional<tEquivalencePoint> expected = findEquivalencePoint(asSent, lesson.pH);
    ASSERT_TRUE(expected.has_value());

    struct tCase {
        const char* name;
        bool pH, volume;  // relative during the run
        bool untickedAfter;
    };
    for (const tCase& c :
         {tCase{"Absolute", false, false, false}, tCase{"RelativePhAndVolume", true, true, false},
          tCase{"RelativeVolume", false, true, false},
          tCase{"UntickedAfterTheRun", true, true, true}}) {
        SCOPED_TRACE(c.name);
        tChartModel run;
        run.SetRelative(qLP, c.pH);
        run.SetRelative(qV1, c.volume);
        run.EnterLiveMode();
        for (std::size_t k = 0; k < lesson.volume.size(); ++k) {
            run.AddReadingSet(0.2f * static_cast<float>(k + 1),
                              {22.0f, static_cast<float>(lesson.pH[k]), 4.0f, 0.7f,
                               static_cast<float>(lesson.volume[k]), 0.0f, 0.0f});
        }
        run.EnterAnalysisMode();
        if (c.untickedAfter) {
            run.SetRelative(qLP, false);
            run.SetRelative(qV1, false);
        }
        const tTitration titration = titrationOf(run.Data(), qV1);
        ASSERT_EQ(titration.volume.size(), lesson.volume.size());
        EXPECT_NEAR(titration.volume.front(), 1.0, 1e-4);
        EXPECT_NEAR(titration.pH.front(), lesson.pH.front(), 1e-4);
        const std::optional<tEquivalencePoint> found =
            findEquivalencePoint(titration.volume, titration.pH);
        ASSERT_TRUE(found.has_value());
        EXPECT_NEAR(found->volume, expected->volume, 1e-3);
        EXPECT_NEAR(found->pH, expected->pH, 1e-3);
    }
}

}  // namespace
}  // namespace vantrel
