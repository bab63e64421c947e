#pragma once

#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "base/NumberSetting.h"
#include "device/Actuators.h"
#include "device/Command.h"
#include "device/Readings.h"

namespace vantrel {

class tSettings;
class tStationLink;

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

// The program switched something off or refused a command.
struct tIntervention {
    std::string text;  // for the user: status bar, chart, journal
    std::string log;   // fixed English, for the log file
    // An off command could not be written: the station may still be on.
    bool offFailed = false;
};

// The last word on what reaches the actuators, and the only way to the
// station's wire for commands. A switch-on of the heater above the
// temperature limit, or of a pump that has dosed its volume, is refused and
// not sent; an off command goes ahead of anything queued. Check sees every
// reading set (measuring, paused, or watched while stopped) before the
// scenario does and switches off what the limits forbid. It keeps what may
// be on (what the station last reported on, and every switch-on sent since;
// an off command counts once the station reports it), and what an
// intervention switched off: a station that still reports it on gets the
// off command again.
class tSafety {
public:
    tSafety(tStationLink& link, tSafetyLimits limits);

    const tSafetyLimits& Limits() const { return limits_; }
    // The period the station runs at, as last sent.
    int PeriodMs() const;

    // ---- the gate
    // False when refused (TakeRefusals says why) or not written.
    bool Send(const tCommand& command);
    // The off command to one actuator, never refused; false when not written.
    bool SendOff(int actuator);
    // Refusals since the last call, each told once.
    std::vector<tIntervention> TakeRefusals();
    // Lines the link could not write: a lost off command means the station
    // may still be on, which is told (once for all of them) and sent again
    // at the next chance.
    std::optional<tIntervention> WriteFailed(const std::vector<std::string>& lines);

    // ---- watching
    // A new run: the pumps' doses count from its first reading set, and the
    // silence clock starts now.
    void StartRun();
    // Records are expected from now on (a run resumed, a watch begun).
    void RestartSilenceClock();
    // One accepted reading set with the actuators' states it reported.
    std::vector<tIntervention> Check(const tReadingValues& readings,
                                     const tActuatorTable& actuators);
    // The actuators' states from a reply to the state query; what an
    // intervention switched off and the station still reports on gets its
    // off command again.
    void Observe(const tActuatorTable& actuators);
    bool AnythingMayBeOn() const;

    // How long without records is silence: SilenceLimit, but never less than
    // two periods and a second, so a slow period is not taken for a dead
    // station. Zero: never.
    std::chrono::duration<double> SilenceAfter() const;
    // Nothing reported for SilenceAfter while something may be on (once,
    // until records come again). `now` is the steady clock's.
    std::optional<tIntervention> CheckSilence(std::chrono::steady_clock::time_point now);
    // Everything that may be on gets its off command, for `text` (told to
    // the user) and `logReason`; none when nothing may be on.
    std::optional<tIntervention> AllOff(const std::string& text, const std::string& logReason);

private:
    void track(const tActuatorTable& actuators);
    // Cuts actuator `index` while it must be off and may be on. A cut is
    // sent again only after `kOffPatience` records that still show it on.
    bool cut(int index, bool locked);
    double dosed(int pump) const;

    tStationLink& link_;
    tSafetyLimits limits_;
    std::array<bool, kActuatorCount> mayBeOn_{};
    std::array<bool, kActuatorCount> switchedOn_{};  // sent, not reported yet
    std::array<int, kActuatorCount> unreported_{};   // records since, reporting off
    std::array<bool, kActuatorCount> mustBeOff_{};   // switched off by an intervention
    std::array<int, kActuatorCount> offWaiting_{};   // records to wait before sending again
    std::array<bool, kActuatorCount> lostTold_{};    // a lost off told, until reported off
    bool heaterLocked_ = false;
    bool heaterTold_ = false;
    std::array<bool, 3> pumpLocked_{};
    std::array<bool, 3> pumpTold_{};
    // Doses: the counters as first read, as last read, and what was dosed
    // before a counter went back (the station restarted).
    std::optional<std::array<double, 3>> volumeBase_;
    std::array<double, 3> volumeLast_{};
    std::array<double, 3> volumeBefore_{};
    double temperature_ = 0;
    std::chrono::steady_clock::time_point lastRecord_ = std::chrono::steady_clock::now();
    bool silenceHandled_ = false;
    std::vector<tIntervention> refusals_;
};

}  // namespace vantrel
