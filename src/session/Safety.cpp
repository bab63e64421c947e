#include "session/Safety.h"

#include <cmath>
#include <utility>

#include "base/Functions.h"
#include "base/LogFile.h"
#include "base/Settings.h"
#include "base/Texts.h"
#include "device/Protocol.h"

namespace vantrel {

namespace {

constexpr int kHeater = 0;
constexpr int kFirstPump = 2;  // D1; D2 and D3 follow
// The heater may be switched on again this far below its limit.
constexpr double kHeaterBand = 2.0;
// Records an off command has to show in before it is sent again.
constexpr int kOffPatience = 5;

double numberKey(const tSettings& settings, const std::string& name, double fallback, double low,
                 double high) {
    std::string text = settings.GetSettingByName(name);
    text.erase(0, text.find_first_not_of(" \t"));
    text.erase(text.find_last_not_of(" \t") + 1);
    if (text.empty()) {
        return fallback;
    }
    double value = 0;
    if (!tryParseDecimal(text, value) || !std::isfinite(value) || value < low || value > high) {
        logFile->WriteLine("SAFETY: " + name + "=" + text + " is not a number from " +
                           formatFixed(low, 0) + " to " + formatFixed(high, 0) + ", using " +
                           formatFixed(fallback, 0));
        return fallback;
    }
    return value;
}

std::string numberText(double value) {
    return formatFixed(value, value == std::floor(value) ? 0 : 1);
}

}  // namespace

tSafetyLimits tSafetyLimits::FromSettings(const tSettings& settings) {
    tSafetyLimits limits;
    limits.maxTemperature = numberKey(settings, "MaxTemperature", 90, -50, 1000);
    for (int pump = 0; pump < 3; ++pump) {
        limits.maxVolume[pump] =
            numberKey(settings, "MaxVolume" + std::to_string(pump + 1), 0, 0, 1e6);
    }
    limits.keepActuatorsOn = numberKey(settings, "KeepActuatorsOn", 0, 0, 1) == 1;
    limits.silenceLimit =
        std::chrono::seconds(static_cast<long>(numberKey(settings, "SilenceLimit", 10, 0, 86400)));
    return limits;
}

tSafety::tSafety(iStationCommands& station, tSafetyLimits limits)
    : station_(station), limits_(limits) {}

void tSafety::StartRun() {
    pumpLocked_ = {};
    pumpTold_ = {};
    volumeBase_.reset();
    lastRecord_ = std::chrono::steady_clock::now();
    silenceHandled_ = false;
}

void tSafety::Observe(const tActuatorTable& actuators) {
    for (int i = 0; i < kActuatorCount; ++i) {
        const bool reportedOn = actuators[i].state != 0;
        // A switch-on the station has not reported yet still counts.
        mayBeOn_[i] = reportedOn || switchedOn_[i];
        switchedOn_[i] = switchedOn_[i] && !reportedOn;
        if (!reportedOn) {
            offWaiting_[i] = 0;
        }
    }
}

bool tSafety::SendOff(int actuator) {
    std::string command = ids_[actuator];
    command += ",0";
    const bool written = station_.Send(command);
    if (!written) {
        logFile->WriteLine("SAFETY: " + command + " NOT WRITTEN");
    }
    mayBeOn_[actuator] = mayBeOn_[actuator] && !written;
    switchedOn_[actuator] = switchedOn_[actuator] && !written;
    offWaiting_[actuator] = kOffPatience;
    return written;
}

void tSafety::enforce(int index, bool locked, bool& told,
                      const std::function<tIntervention()>& describe,
                      std::vector<tIntervention>& out) {
    if (!locked || !mayBeOn_[index]) {
        return;
    }
    if (offWaiting_[index] > 0) {
        --offWaiting_[index];
        return;
    }
    const bool written = SendOff(index);
    if (!told) {
        told = true;
        tIntervention intervention = describe();
        intervention.offFailed = !written;
        out.push_back(std::move(intervention));
    }
}

std::vector<tIntervention> tSafety::Check(const tReadingValues& readings,
                                          const tActuatorTable& actuators) {
    lastRecord_ = std::chrono::steady_clock::now();
    silenceHandled_ = false;
    Observe(actuators);
    std::vector<tIntervention> out;

    temperature_ = readings[qLT];
    if (temperature_ > limits_.maxTemperature) {
        if (!heaterLocked_) {
            heaterLocked_ = true;
            heaterTold_ = false;
        }
    } else if (temperature_ <= limits_.maxTemperature - kHeaterBand) {
        heaterLocked_ = false;
    }
    // The texts are made only for an intervention: this runs on every record.
    enforce(
        kHeater, heaterLocked_, heaterTold_,
        [this] {
            const std::string limit = numberText(limits_.maxTemperature);
            return tIntervention{formatText(constantText("DK_SAFE_HEATER_OFF"), {limit}),
                                 "SAFETY: HEATER OFF AT " + formatFixed(temperature_, 1) +
                                     " C, LIMIT " + limit + " C"};
        },
        out);

    if (!volumeBase_) {
        volumeBase_ = std::array<double, 3>{readings[qV1], readings[qV2], readings[qV3]};
    }
    for (int pump = 0; pump < 3; ++pump) {
        const double max = limits_.maxVolume[pump];
        const double dosed = readings[qV1 + pump] - (*volumeBase_)[pump];
        if (max > 0 && dosed >= max) {
            pumpLocked_[pump] = true;
        }
        enforce(
            kFirstPump + pump, pumpLocked_[pump], pumpTold_[pump],
            [pump, max, dosed] {
                const std::string number = std::to_string(pump + 1);
                return tIntervention{
                    formatText(constantText("DK_SAFE_PUMP_OFF"), {number, numberText(max)}),
                    "SAFETY: PUMP " + number + " OFF AT " + formatFixed(dosed, 2) + " ML, LIMIT " +
                        numberText(max) + " ML"};
            },
            out);
    }
    return out;
}

std::optional<tIntervention> tSafety::CheckSilence(std::chrono::steady_clock::time_point now) {
    if (limits_.silenceLimit.count() <= 0 || silenceHandled_ ||
        now - lastRecord_ < limits_.silenceLimit) {
        return std::nullopt;
    }
    silenceHandled_ = true;
    const std::string seconds = std::to_string(limits_.silenceLimit.count());
    return AllOff(formatText(constantText("DK_SAFE_SILENCE"), {seconds}),
                  "NO RECORDS FOR " + seconds + " S");
}

std::optional<tIntervention> tSafety::AllOff(const std::string& text,
                                             const std::string& logReason) {
    bool any = false;
    bool written = true;
    for (int i = 0; i < kActuatorCount; ++i) {
        if (mayBeOn_[i]) {
            any = true;
            written = SendOff(i) && written;
        }
    }
    if (!any) {
        return std::nullopt;
    }
    return tIntervention{text, "SAFETY: ALL OFF, " + logReason, !written};
}

bool tSafety::Send(const std::string& command) {
    // "H0,1,150" switches on, "H0,0,0" and "H0,0" off.
    const std::string_view text(command);
    const std::string_view id = text.substr(0, text.find(','));
    const std::string_view rest = id.size() < text.size() ? text.substr(id.size() + 1) : "";
    int index = -1;
    for (int i = 0; i < kActuatorCount; ++i) {
        if (id == ids_[i]) {
            index = i;
        }
    }
    const bool switchesOn = index >= 0 && rest.substr(0, rest.find(',')) == "1";
    if (switchesOn) {
        std::string why;
        if (index == kHeater && heaterLocked_) {
            why = formatText(constantText("DK_SAFE_HEATER_REFUSED"),
                             {numberText(limits_.maxTemperature)});
        } else if (index >= kFirstPump && pumpLocked_[index - kFirstPump]) {
            const int pump = index - kFirstPump;
            why = formatText(constantText("DK_SAFE_PUMP_REFUSED"),
                             {std::to_string(pump + 1), numberText(limits_.maxVolume[pump])});
        }
        if (!why.empty()) {
            refusals_.push_back({why, "SAFETY: REFUSED " + command, false});
            return false;
        }
    }
    const bool written = station_.Send(command);
    if (switchesOn && written) {
        mayBeOn_[index] = true;
        switchedOn_[index] = true;
        offWaiting_[index] = 0;
    }
    return written;
}

std::vector<tIntervention> tSafety::TakeRefusals() {
    return std::exchange(refusals_, {});
}

}  // namespace vantrel
