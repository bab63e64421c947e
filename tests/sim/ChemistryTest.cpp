#include "sim/Chemistry.h"

#include <gtest/gtest.h>

#include <cmath>

using vantrel::sim::tChemistry;
using vantrel::sim::tDrive;

namespace {

tDrive Pumping(int pump, int speed, double stirrer = 1.0) {
    tDrive drive;
    drive.stirrer = stirrer;
    drive.pumpRate[pump] = tChemistry::PumpRate(speed);
    return drive;
}

// Units of 0.1 M titrant that neutralise the initial 0.5 mmol of acid.
const double kEquivalenceUnits = 5.0 / tChemistry::kMlPerUnit;

}  // namespace

TEST(Chemistry, StartsAsDiluteAcidAtRoomTemperature) {
    tChemistry vessel(1, false);
    EXPECT_DOUBLE_EQ(vessel.Temperature(), 22.0);
    EXPECT_NEAR(vessel.Ph(), 2.0, 0.01);
    // 0.01 M HCl is about 4.2 mS/cm at 25 °C, a little less at 22 °C.
    EXPECT_NEAR(vessel.Conductivity(), 4.0, 0.2);
    EXPECT_NEAR(vessel.Redox(), 0.8 - 0.0585 * 2.0, 0.005);
    EXPECT_DOUBLE_EQ(vessel.VolumeMl(), 50.0);
}

TEST(Chemistry, PumpRateFollowsTheSetValueInEitherDirection) {
    EXPECT_DOUBLE_EQ(tChemistry::PumpRate(600), 10.0);
    EXPECT_DOUBLE_EQ(tChemistry::PumpRate(-600), 10.0);
    EXPECT_DOUBLE_EQ(tChemistry::PumpRate(6), 0.1);
    EXPECT_DOUBLE_EQ(tChemistry::PumpRate(0), 0.0);
    EXPECT_DOUBLE_EQ(tChemistry::PumpRate(100000), 10.0);

    tChemistry vessel(1, false);
    vessel.Advance(3.0, Pumping(2, 300));
    EXPECT_NEAR(vessel.DosedUnits(2), 15.0, 1e-9);
    EXPECT_DOUBLE_EQ(vessel.DosedUnits(0), 0.0);
    EXPECT_NEAR(vessel.VolumeMl(), 50.0 + 15.0 * tChemistry::kMlPerUnit, 1e-9);
}

TEST(Chemistry, BaseTitrationGivesTheStrongAcidCurve) {
    tChemistry vessel(1, false);
    // Slowly, so that the electrodes keep up with the mixed vessel.
    const tDrive base = Pumping(0, 60);
    double previous = vessel.MixedPh();
    double lowestConductivity = vessel.Conductivity();
    double unitsAtLowest = 0;
    const double step = 1.0;  // s, one unit of titrant
    while (vessel.DosedUnits(0) < 2.0 * kEquivalenceUnits) {
        vessel.Advance(step, base);
        const double ph = vessel.MixedPh();
        ASSERT_GE(ph, previous - 1e-12) << "at " << vessel.DosedUnits(0) << " units";
        previous = ph;
        if (vessel.Conductivity() < lowestConductivity) {
            lowestConductivity = vessel.Conductivity();
            unitsAtLowest = vessel.DosedUnits(0);
        }
    }
    EXPECT_GT(vessel.MixedPh(), 11.5);
    // Conductivity falls while H+ is replaced by Na+ and rises with excess OH-.
    EXPECT_NEAR(unitsAtLowest, kEquivalenceUnits, 2.0);

    tChemistry halfway(1, false);
    halfway.Advance(0.9 * kEquivalenceUnits, base);
    EXPECT_LT(halfway.MixedPh(), 4.0);
    halfway.Advance(0.1 * kEquivalenceUnits, base);
    EXPECT_NEAR(halfway.MixedPh(), 7.0, 0.5);
}

TEST(Chemistry, AcidLowersAndWaterDilutesTowardNeutral) {
    tChemistry vessel(1, false);
    vessel.Advance(2.0 * kEquivalenceUnits / 10.0, Pumping(0, 600));
    const double basic = vessel.MixedPh();
    vessel.Advance(10.0, Pumping(1, 600));
    EXPECT_LT(vessel.MixedPh(), basic - 5.0);

    tChemistry acid(1, false);
    double previous = acid.MixedPh();
    for (int i = 0; i < 50; ++i) {
        acid.Advance(10.0, Pumping(2, 600));
        EXPECT_GT(acid.MixedPh(), previous);
        EXPECT_LT(acid.MixedPh(), 7.0);
        previous = acid.MixedPh();
    }
    EXPECT_LT(acid.Conductivity(), 1.0);
}

TEST(Chemistry, ElectrodesLagBehindWithoutStirring) {
    tChemistry still(1, false);
    tChemistry stirred(1, false);
    still.Advance(8.0, Pumping(0, 600, 0.0));
    stirred.Advance(8.0, Pumping(0, 600, 1.0));
    ASSERT_NEAR(still.MixedPh(), stirred.MixedPh(), 1e-9);
    EXPECT_NEAR(stirred.Ph(), stirred.MixedPh(), 0.5);
    EXPECT_LT(still.Ph(), stirred.Ph() - 1.0);

    // Left alone, the unstirred vessel mixes in the end.
    still.Advance(120.0, tDrive{});
    EXPECT_NEAR(still.Ph(), still.MixedPh(), 0.01);
}

TEST(Chemistry, HeaterWarmsWithALagAndTheVesselCoolsBack) {
    tChemistry vessel(1, false);
    tDrive full;
    full.heater = 1.0;
    vessel.Advance(1.0, full);
    const double afterOneSecond = vessel.Temperature();
    EXPECT_GT(afterOneSecond, 22.0);
    EXPECT_LT(afterOneSecond, 24.0);  // no jump to the final temperature

    vessel.Advance(90.0, full);  // about one time constant for 50 ml
    EXPECT_NEAR(vessel.Temperature(), 22.0 + 75.0 * (1.0 - std::exp(-1.0)), 3.0);
    vessel.Advance(3600.0, full);
    EXPECT_NEAR(vessel.Temperature(), 97.0, 0.5);
    EXPECT_LE(vessel.Temperature(), 100.0);

    tDrive half;
    half.heater = 0.5;
    vessel.Advance(3600.0, half);
    EXPECT_NEAR(vessel.Temperature(), 22.0 + 37.5, 0.5);
    vessel.Advance(3600.0, tDrive{});
    EXPECT_NEAR(vessel.Temperature(), 22.0, 0.1);
}

TEST(Chemistry, NoiseIsSmallAndRepeatableForOneSeed) {
    tChemistry a(7, true);
    tChemistry b(7, true);
    tChemistry exact(7, false);
    bool varies = false;
    double first = a.Sample().ph;
    b.Sample();
    for (int i = 0; i < 100; ++i) {
        const auto sa = a.Sample();
        const auto sb = b.Sample();
        EXPECT_EQ(sa.temperature, sb.temperature);
        EXPECT_EQ(sa.ph, sb.ph);
        EXPECT_NEAR(sa.temperature, exact.Temperature(), 0.1);
        EXPECT_NEAR(sa.ph, exact.Ph(), 0.03);
        EXPECT_NEAR(sa.conductivity, exact.Conductivity(), 0.1);
        EXPECT_NEAR(sa.redox, exact.Redox(), 0.006);
        varies = varies || sa.ph != first;
    }
    EXPECT_TRUE(varies);
    const auto quiet = exact.Sample();
    EXPECT_EQ(quiet.ph, exact.Ph());
    EXPECT_EQ(quiet.temperature, exact.Temperature());
}

TEST(Chemistry, ReadingsStayInTheirRangesWhateverIsDosed) {
    tChemistry vessel(3, true);
    tDrive everything;
    everything.heater = 1.0;
    everything.pumpRate[0] = 10.0;
    vessel.Advance(20000.0, everything);
    for (int i = 0; i < 50; ++i) {
        const auto s = vessel.Sample();
        EXPECT_GE(s.ph, 0.0);
        EXPECT_LE(s.ph, 14.0);
        EXPECT_GE(s.conductivity, 0.0);
        EXPECT_LE(s.conductivity, 250.0);
        EXPECT_GE(s.redox, -2.0);
        EXPECT_LE(s.redox, 2.0);
        EXPECT_LE(s.temperature, 100.5);
    }
}
