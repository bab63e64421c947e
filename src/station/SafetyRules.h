#pragma once

#include <array>
#include <optional>
#include <string>

#include "device/Command.h"
#include "device/Readings.h"
#include "run/Intervention.h"

namespace vantrel {

class tSettings;

// The limits no scenario and no button passes, from the configuration.
struct tSafetyLimits {
    double maxTemperature = 90.0;       // °C; the heater is cut above it
    std::array<double, 3> maxVolume{};  // ml dosed in a run by pumps 1..3; 0: none
    bool keepActuatorsOn = false;       // Disconnect and Exit leave the station as it is
    double silenceLimit = 10;           // s without records: all off; 0: never

    // Keys MaxTemperature, MaxVolume1..3, KeepActuatorsOn, SilenceLimit; a
    // value that does not read gives the default (unreadNumberSettings
    // tells which).
    static tSafetyLimits FromSettings(const tSettings& settings);
};

// What the limits allow, decided from the reading sets seen alone: no
// wire, no actuators. The heater is locked above its temperature limit until
// the vessel has cooled below it by a band; a pump is locked for the rest of
// the run once it has dosed its volume. A live run asks this before a command
// goes to the station; a replay asks it the same way and writes nothing.
class tSafetyRules {
public:
    explicit tSafetyRules(tSafetyLimits limits) : limits_(limits) {}

    const tSafetyLimits& Limits() const { return limits_; }

    // A new run: the pumps' doses count from its next reading set.
    void StartRun();
    // One accepted reading set, as the station sent it.
    void See(const tReadingValues& readings);
    // Why `command` may not go out now (a switch-on of a locked actuator),
    // told to the user and logged as "SAFETY: REFUSED <command>"; none when
    // it may.
    std::optional<tIntervention> Refusal(const tCommand& command) const;

    bool HeaterLocked() const { return heaterLocked_; }
    bool PumpLocked(int pump) const { return pumpLocked_[static_cast<std::size_t>(pump)]; }
    // The newest temperature seen.
    double Temperature() const { return temperature_; }
    // Ml pump `pump` (0..2) dosed in this run; 0 before the first reading set.
    double Dosed(int pump) const;
    // The heater may be switched on again this far below its limit.
    static constexpr double kHeaterBand = 2.0;

private:
    tSafetyLimits limits_;
    bool heaterLocked_ = false;
    std::array<bool, 3> pumpLocked_{};
    // Doses: the counters as first read, as last read, and what was dosed
    // before a counter went back (the station restarted).
    std::optional<std::array<double, 3>> volumeBase_;
    std::array<double, 3> volumeLast_{};
    std::array<double, 3> volumeBefore_{};
    double temperature_ = 0;
};

}  // namespace vantrel
