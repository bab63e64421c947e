#include "sim/Chemistry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace vantrel::sim {

namespace {

constexpr double kMaxStep = 0.05;     // s; keeps the explicit integration stable
constexpr double kKw = 1.0e-14;       // ionic product of water, (mol/l)^2
constexpr double kHeaterRise = 75.0;  // °C above room at full power
constexpr double kBoiling = 100.0;
constexpr double kUnstirredMixing = 8.0;  // s for the electrodes to see a change
constexpr double kStirredMixing = 0.5;    // ... at full stirring speed
// Limiting molar conductivities at 25 °C, S·cm²/mol; times mol/l gives mS/cm.
constexpr double kLambdaH = 349.8;
constexpr double kLambdaOH = 198.6;
constexpr double kLambdaNa = 50.1;
constexpr double kLambdaCl = 76.3;

}  // namespace

tChemistry::tChemistry(std::uint32_t seed, bool noise) : noise_(noise), random_(seed) {}

double tChemistry::PumpRate(int speed) {
    // Full speed (600) doses ten units, a little under a millilitre, per second.
    return std::min(std::abs(speed), 600) / 60.0;
}

double tChemistry::VolumeMl() const {
    return kInitialVolumeMl + (dosed_[0] + dosed_[1] + dosed_[2]) * kMlPerUnit;
}

double tChemistry::DosedUnits(int pump) const {
    return pump >= 0 && pump < 3 ? dosed_[pump] : 0.0;
}

void tChemistry::Advance(double seconds, const tDrive& drive) {
    if (!(seconds > 0)) {
        return;
    }
    const long steps = static_cast<long>(std::ceil(seconds / kMaxStep));
    const double dt = seconds / static_cast<double>(steps);
    for (long i = 0; i < steps; ++i) {
        Step(dt, drive);
    }
}

void tChemistry::Step(double dt, const tDrive& drive) {
    const double heater = std::clamp(drive.heater, 0.0, 1.0);
    const double stirrer = std::clamp(drive.stirrer, 0.0, 1.0);

    double addedMl = 0;
    for (int pump = 0; pump < 3; ++pump) {
        const double units = std::max(drive.pumpRate[pump], 0.0) * dt;
        dosed_[pump] += units;
        addedMl += units * kMlPerUnit;
    }
    const double litres0 = drive.pumpRate[0] * dt * kMlPerUnit / 1000.0;
    const double litres1 = drive.pumpRate[1] * dt * kMlPerUnit / 1000.0;
    baseMol_ += std::max(litres0, 0.0) * kBase;
    acidMol_ += std::max(litres1, 0.0) * kAcid;

    // Reagents come in at room temperature.
    const double volume = VolumeMl();
    temperature_ = (temperature_ * (volume - addedMl) + kRoomTemperature * addedMl) / volume;

    // First-order lag toward the temperature at which heating balances the
    // losses to the room; more liquid reacts more slowly, stirring helps.
    const double target = kRoomTemperature + kHeaterRise * heater;
    const double lag = (30.0 + 1.2 * volume) * (1.0 - 0.3 * stirrer);
    temperature_ += (target - temperature_) * dt / lag;
    temperature_ = std::min(temperature_, kBoiling);

    const double litres = volume / 1000.0;
    const double mixing = kUnstirredMixing - (kUnstirredMixing - kStirredMixing) * stirrer;
    const double share = std::min(1.0, dt / mixing);
    seenAcid_ += (acidMol_ / litres - seenAcid_) * share;
    seenBase_ += (baseMol_ / litres - seenBase_) * share;
}

double tChemistry::PhOf(double acid, double base) {
    // Charge balance [H+] + [Na+] = [Cl-] + Kw/[H+]; the two roots are written
    // so that neither subtracts nearly equal numbers.
    const double excess = acid - base;
    const double root = std::sqrt(excess * excess + 4.0 * kKw);
    const double h = excess >= 0 ? (excess + root) / 2.0 : 2.0 * kKw / (root - excess);
    return std::clamp(-std::log10(h), 0.0, 14.0);
}

double tChemistry::Ph() const {
    return PhOf(seenAcid_, seenBase_);
}

double tChemistry::MixedPh() const {
    const double litres = VolumeMl() / 1000.0;
    return PhOf(acidMol_ / litres, baseMol_ / litres);
}

double tChemistry::Conductivity() const {
    const double h = std::pow(10.0, -Ph());
    const double oh = kKw / h;
    const double at25 =
        kLambdaH * h + kLambdaOH * oh + kLambdaNa * seenBase_ + kLambdaCl * seenAcid_;
    return std::clamp(at25 * (1.0 + 0.02 * (temperature_ - 25.0)), 0.0, 250.0);
}

double tChemistry::Redox() const {
    const double slope = 0.0591 * (temperature_ + 273.15) / 298.15;
    return std::clamp(0.8 - slope * Ph(), -2.0, 2.0);
}

tSample tChemistry::Sample() {
    tSample s{Temperature(), Ph(), Conductivity(), Redox(), {dosed_[0], dosed_[1], dosed_[2]}};
    if (noise_) {
        std::normal_distribution<double> gauss(0.0, 1.0);
        s.temperature += 0.02 * gauss(random_);
        s.ph = std::clamp(s.ph + 0.005 * gauss(random_), 0.0, 14.0);
        s.conductivity = std::clamp(s.conductivity * (1.0 + 0.003 * gauss(random_)), 0.0, 250.0);
        s.redox = std::clamp(s.redox + 0.001 * gauss(random_), -2.0, 2.0);
    }
    return s;
}

}  // namespace vantrel::sim
