#include "station/Safety.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "base/Functions.h"
#include "base/LogFile.h"
#include "base/Texts.h"
#include "station/StationLink.h"

namespace vantrel {

namespace {

constexpr int kHeater = 0;
constexpr int kFirstPump = 2;  // D1; D2 and D3 follow
// Records an off command has to show in before it is sent again.
constexpr int kOffPatience = 5;
// Records reporting off after which a switch-on the station never showed
// (a value it clamped to 0, a command it ignored) no longer counts as on.
constexpr int kUnreportedRecords = 25;

std::string numberText(double value) {
    return formatFixed(value, value == std::floor(value) ? 0 : 1);
}

std::string readingText(double value) {
    return formatFixed(value, 2);
}

std::string id(int actuator) {
    return std::string(kActuatorIds[static_cast<std::size_t>(actuator)]);
}

}  // namespace

tSafety::tSafety(tStationLink& link, tSafetyLimits limits) : link_(link), rules_(limits) {}

int tSafety::PeriodMs() const {
    return link_.PeriodMs();
}

// ---------------------------------------------------------------- the gate

bool tSafety::Send(const tCommand& command) {
    const int index = command.Actuator();
    if (std::optional<tIntervention> refusal = rules_.Refusal(command)) {
        refusals_.push_back(std::move(*refusal));
        return false;
    }
    if (command.SwitchesOff()) {
        // Off once the station says so; until then it may still be on.
        const bool written = link_.SendFirst(command);
        switchedOn_[index] = switchedOn_[index] && !written;
        return written;
    }
    const bool written = link_.Send(command);
    if (command.SwitchesOn() && written) {
        // Asked for again by the user or the scenario: no longer held off.
        mayBeOn_[index] = true;
        switchedOn_[index] = true;
        unreported_[index] = 0;
        mustBeOff_[index] = false;
        offWaiting_[index] = 0;
    }
    return written;
}

bool tSafety::SendOff(int actuator) {
    const tCommand off = tCommand::Off(actuator);
    const bool written = link_.SendFirst(off);
    if (!written) {
        logFile->WriteLine("SAFETY: " + off.Text() + " NOT WRITTEN");
    }
    switchedOn_[actuator] = switchedOn_[actuator] && !written;
    offWaiting_[actuator] = kOffPatience;
    return written;
}

std::vector<tIntervention> tSafety::TakeRefusals() {
    return std::exchange(refusals_, {});
}

std::optional<tIntervention> tSafety::WriteFailed(const std::vector<std::string>& lines) {
    std::string lost;
    for (const std::string& line : lines) {
        std::string error;
        const std::optional<tCommand> command = tCommand::Parse(line, error);
        if (!command || !command->SwitchesOff()) {
            logFile->WriteLine("SAFETY: " + line + " NOT WRITTEN");
            continue;
        }
        const int index = command->Actuator();
        // Still on as far as anyone knows: sent again with the next record.
        mayBeOn_[index] = true;
        mustBeOff_[index] = true;
        offWaiting_[index] = 0;
        logFile->WriteLine("SAFETY: " + command->Text() + " NOT WRITTEN");
        if (!lostTold_[index]) {
            lostTold_[index] = true;
            lost += (lost.empty() ? "" : " ") + command->Text();
        }
    }
    if (lost.empty()) {
        return std::nullopt;
    }
    return tIntervention{constantText("DK_SAFE_OFF_FAILED"), "SAFETY: OFF LOST: " + lost, true};
}

// ---------------------------------------------------------------- watching

void tSafety::StartRun() {
    rules_.StartRun();
    pumpTold_ = {};
    RestartSilenceClock();
}

void tSafety::RestartSilenceClock() {
    lastRecord_ = std::chrono::steady_clock::now();
    silenceHandled_ = false;
}

bool tSafety::AnythingMayBeOn() const {
    return std::find(mayBeOn_.begin(), mayBeOn_.end(), true) != mayBeOn_.end();
}

void tSafety::track(const tActuatorTable& actuators) {
    for (int i = 0; i < kActuatorCount; ++i) {
        const bool reportedOn = actuators[i].state != 0;
        if (reportedOn) {
            switchedOn_[i] = false;
        } else if (switchedOn_[i] && ++unreported_[i] >= kUnreportedRecords) {
            switchedOn_[i] = false;
        }
        // A switch-on the station has not reported yet still counts.
        mayBeOn_[i] = reportedOn || switchedOn_[i];
        if (!reportedOn) {
            offWaiting_[i] = 0;
            mustBeOff_[i] = false;
            lostTold_[i] = false;
        }
    }
}

void tSafety::Observe(const tActuatorTable& actuators) {
    track(actuators);
    for (int i = 0; i < kActuatorCount; ++i) {
        if (mustBeOff_[i] && mayBeOn_[i]) {
            logFile->WriteLine("SAFETY: " + id(i) + " STILL ON, OFF AGAIN");
            SendOff(i);
        }
    }
}

bool tSafety::cut(int index, bool locked) {
    if (!locked || !mayBeOn_[index]) {
        return false;
    }
    if (offWaiting_[index] > 0) {
        --offWaiting_[index];
        return false;
    }
    SendOff(index);
    return true;
}

std::vector<tIntervention> tSafety::Check(const tReadingValues& readings,
                                          const tActuatorTable& actuators) {
    RestartSilenceClock();
    track(actuators);
    std::vector<tIntervention> out;

    const bool heaterWasLocked = rules_.HeaterLocked();
    rules_.See(readings);
    if (rules_.HeaterLocked() && !heaterWasLocked) {
        heaterTold_ = false;
    }
    const tSafetyLimits& limits = rules_.Limits();
    const double temperature = rules_.Temperature();

    // The first cut of a limit is told; every other one (a station that has
    // not obeyed yet, what an earlier intervention switched off) is logged.
    for (int i = 0; i < kActuatorCount; ++i) {
        const int pump = i - kFirstPump;
        const bool limited =
            i == kHeater ? rules_.HeaterLocked() : pump >= 0 && rules_.PumpLocked(pump);
        if (!cut(i, limited || mustBeOff_[i])) {
            continue;
        }
        bool& told = i == kHeater ? heaterTold_ : pumpTold_[std::max(pump, 0)];
        if (!limited || told) {
            logFile->WriteLine("SAFETY: " + id(i) + " STILL ON, OFF AGAIN");
        } else if (i == kHeater) {
            told = true;
            const std::string limit = numberText(limits.maxTemperature);
            out.push_back(
                {formatText(constantText("DK_SAFE_HEATER_OFF"), {readingText(temperature), limit}),
                 "SAFETY: HEATER OFF AT " + formatFixed(temperature, 2, '.') + " C, LIMIT " +
                     limit + " C"});
        } else {
            told = true;
            const std::string number = std::to_string(pump + 1);
            const std::string max = numberText(limits.maxVolume[static_cast<std::size_t>(pump)]);
            out.push_back({formatText(constantText("DK_SAFE_PUMP_OFF"),
                                      {number, readingText(rules_.Dosed(pump)), max}),
                           "SAFETY: PUMP " + number + " OFF AT " +
                               formatFixed(rules_.Dosed(pump), 2, '.') + " ML, LIMIT " + max +
                               " ML"});
        }
    }
    return out;
}

std::chrono::duration<double> tSafety::SilenceAfter() const {
    if (Limits().silenceLimit <= 0) {
        return std::chrono::duration<double>::zero();
    }
    return std::chrono::duration<double>(
        std::max(Limits().silenceLimit, 2 * PeriodMs() / 1000.0 + 1.0));
}

std::optional<tIntervention> tSafety::CheckSilence(std::chrono::steady_clock::time_point now) {
    const std::chrono::duration<double> after = SilenceAfter();
    if (after.count() <= 0 || silenceHandled_ || now - lastRecord_ < after) {
        return std::nullopt;
    }
    silenceHandled_ = true;
    const double seconds = after.count();
    return AllOff(formatText(constantText("DK_SAFE_SILENCE"), {numberText(seconds)}),
                  "NO RECORDS FOR " +
                      formatFixed(seconds, seconds == std::floor(seconds) ? 0 : 1, '.') + " S");
}

std::optional<tIntervention> tSafety::AllOff(const std::string& text,
                                             const std::string& logReason) {
    bool any = false;
    bool written = true;
    for (int i = 0; i < kActuatorCount; ++i) {
        if (mayBeOn_[i]) {
            any = true;
            mustBeOff_[i] = true;
            written = SendOff(i) && written;
        }
    }
    if (!any) {
        return std::nullopt;
    }
    return tIntervention{text, "SAFETY: ALL OFF, " + logReason, !written};
}

}  // namespace vantrel
