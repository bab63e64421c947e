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
#include "station/SafetyRules.h"

namespace vantrel {

class tStationLink;

// The last word on what reaches the actuators, and the only way to the
// station's wire for commands. A switch-on of the heater above the
// temperature limit, or of a pump that has dosed its volume, is refused and
// not sent (tSafetyRules decides); an off command goes ahead of anything
// queued. Check sees every reading set (measuring, paused, or watched while
// stopped) before the scenario does and switches off what the limits forbid. It keeps what may
// be on (what the station last reported on, and every switch-on sent since;
// an off command counts once the station reports it), and what an
// intervention switched off: a station that still reports it on gets the
// off command again.
class tSafety {
public:
    tSafety(tStationLink& link, tSafetyLimits limits);

    const tSafetyLimits& Limits() const { return rules_.Limits(); }
    // What the limits allow now, from the reading sets Check has seen: a
    // command they refuse, Send refuses.
    const tSafetyRules& Rules() const { return rules_; }
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

    tStationLink& link_;
    tSafetyRules rules_;
    std::array<bool, kActuatorCount> mayBeOn_{};
    std::array<bool, kActuatorCount> switchedOn_{};  // sent, not reported yet
    std::array<int, kActuatorCount> unreported_{};   // records since, reporting off
    std::array<bool, kActuatorCount> mustBeOff_{};   // switched off by an intervention
    std::array<int, kActuatorCount> offWaiting_{};   // records to wait before sending again
    std::array<bool, kActuatorCount> lostTold_{};    // a lost off told, until reported off
    bool heaterTold_ = false;
    std::array<bool, 3> pumpTold_{};
    std::chrono::steady_clock::time_point lastRecord_ = std::chrono::steady_clock::now();
    bool silenceHandled_ = false;
    std::vector<tIntervention> refusals_;
};

}  // namespace vantrel
