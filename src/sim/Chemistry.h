#pragma once

#include <cstdint>
#include <random>

namespace vantrel::sim {

// What the actuators do to the vessel at a given moment.
struct tDrive {
    double heater = 0;        // 0..1 of full heating power
    double stirrer = 0;       // 0..1 of full stirring speed (direction does not matter)
    double pumpRate[3] = {};  // station volume units per second, pumps 1..3
};

// One set of sensor readings, in the units the station reports.
struct tSample {
    double temperature;   // °C
    double ph;            // 0..14
    double conductivity;  // mS/cm
    double redox;         // V
    double volume[3];     // dosed volume of pumps 1..3, station units
};

// The vessel on the station: 50 ml of 0.01 M hydrochloric acid at room
// temperature, titrated with 0.1 M sodium hydroxide (pump 1), 0.1 M
// hydrochloric acid (pump 2) and diluted with water (pump 3). A lesson model,
// not a laboratory one: strong acid and base only, ideal mixing once stirred.
class tChemistry {
public:
    static constexpr double kMlPerUnit = 0.0934;  // the station's volume unit
    static constexpr double kRoomTemperature = 22.0;
    static constexpr double kInitialVolumeMl = 50.0;
    static constexpr double kInitialAcid = 0.01;  // mol/l
    static constexpr double kBase = 0.1;          // pump 1, mol/l
    static constexpr double kAcid = 0.1;          // pump 2, mol/l

    explicit tChemistry(std::uint32_t seed = 1, bool noise = true);

    // Lets `seconds` of station time pass with the actuators as given.
    void Advance(double seconds, const tDrive& drive);

    double Temperature() const { return temperature_; }
    double VolumeMl() const;            // liquid in the vessel
    double DosedUnits(int pump) const;  // pump 0..2
    double Ph() const;                  // of what the electrode sees
    double Conductivity() const;        // mS/cm, temperature-compensated model
    double Redox() const;               // V
    double MixedPh() const;             // of the fully mixed vessel

    // The readings as the sensors report them (with noise when enabled).
    tSample Sample();

    // Pump speed as set on the station (6..600 in magnitude) to units per second.
    static double PumpRate(int speed);

private:
    void Step(double dt, const tDrive& drive);
    static double PhOf(double acid, double base);

    double temperature_ = kRoomTemperature;
    double dosed_[3] = {};                                       // station units
    double acidMol_ = kInitialVolumeMl * kInitialAcid / 1000.0;  // chloride, mol
    double baseMol_ = 0;                                         // sodium, mol
    // Concentrations near the electrodes lag behind the mixed vessel until
    // the stirrer brings them together.
    double seenAcid_ = kInitialAcid;  // mol/l
    double seenBase_ = 0;             // mol/l
    bool noise_;
    std::mt19937 random_;
};

}  // namespace vantrel::sim
