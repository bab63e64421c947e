#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/Actuators.h"
#include "device/Readings.h"
#include "session/StationLink.h"

namespace vantrel {

class tSettings;

// The limits no scenario and no button passes, from the configuration.
struct tSafetyLimits {
    double maxTemperature = 90.0;           // °C; the heater is cut above it
    std::array<double, 3> maxVolume{};      // ml dosed in a run by pumps 1..3; 0: none
    bool keepActuatorsOn = false;           // Disconnect and Exit leave the station as it is
    std::chrono::seconds silenceLimit{10};  // no records this long: all off; 0: never

    // Keys MaxTemperature, MaxVolume1..3, KeepActuatorsOn, SilenceLimit; a
    // value that is not a sane number is logged and its default used.
    static tSafetyLimits FromSettings(const tSettings& settings);
};

// The program switched something off or refused a command.
struct tIntervention {
    std::string text;  // for the user: status bar, chart, journal
    std::string log;   // fixed English, for the log file
    // An off command could not be written: the station may still be on.
    bool offFailed = false;
};

// The last word on what reaches the actuators. Every command goes through
// Send: one that would switch on the heater above the temperature limit,
// or a pump that has dosed its volume, is refused and not sent. Check sees
// every accepted reading set before the scenario does and says what must
// be switched off. It also keeps what may be on: the station's reports,
// and every switch-on sent since, so a station that stops reporting right
// after a command is still switched off.
class tSafety : public iStationCommands {
public:
    tSafety(iStationCommands& station, tSafetyLimits limits);

    const tSafetyLimits& Limits() const { return limits_; }

    // A new run: the pumps' doses count from its first reading set.
    void StartRun();
    // One accepted reading set with the actuators' states it reported.
    std::vector<tIntervention> Check(const tReadingValues& readings,
                                     const tActuatorTable& actuators);
    // The actuators' states from a reply to the state query.
    void Observe(const tActuatorTable& actuators);

    // Nothing reported for the silence limit while something may be on
    // (once, until records come again). `now` is the steady clock's.
    std::optional<tIntervention> CheckSilence(std::chrono::steady_clock::time_point now);
    // Everything that may be on gets its off command, for `text` (told to
    // the user) and `logReason`; none when nothing may be on.
    std::optional<tIntervention> AllOff(const std::string& text, const std::string& logReason);

    // The off command to one actuator, never refused; false when not written.
    bool SendOff(int actuator);

    // Refusals since the last call, each told once.
    std::vector<tIntervention> TakeRefusals();

    // ---- iStationCommands
    bool Send(const std::string& command) override;
    int PeriodMs() const override { return station_.PeriodMs(); }

private:
    // Cuts actuator `index` while `locked` and it may be on; the first cut
    // of a lock is an intervention, a repeat for a station that has not
    // obeyed yet is only logged.
    void enforce(int index, bool locked, bool& told, const std::function<tIntervention()>& describe,
                 std::vector<tIntervention>& out);

    iStationCommands& station_;
    tSafetyLimits limits_;
    std::array<bool, kActuatorCount> mayBeOn_{};
    std::array<bool, kActuatorCount> switchedOn_{};  // sent, not reported yet
    std::array<std::string, kActuatorCount> ids_{"H0", "M0", "D1", "D2", "D3"};
    // Records to wait for an off command to show before sending it again.
    std::array<int, kActuatorCount> offWaiting_{};
    bool heaterLocked_ = false;
    bool heaterTold_ = false;
    std::array<bool, 3> pumpLocked_{};
    std::array<bool, 3> pumpTold_{};
    std::optional<std::array<double, 3>> volumeBase_;
    double temperature_ = 0;
    std::chrono::steady_clock::time_point lastRecord_ = std::chrono::steady_clock::now();
    bool silenceHandled_ = false;
    std::vector<tIntervention> refusals_;
};

}  // namespace vantrel
