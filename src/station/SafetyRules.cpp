#include "station/SafetyRules.h"

#include <cmath>

#include "base/Functions.h"
#include "base/LogFile.h"
#include "base/NumberSetting.h"
#include "base/Settings.h"
#include "base/Texts.h"

namespace vantrel {

namespace {

constexpr int kHeater = 0;
constexpr int kFirstPump = 2;  // D1; D2 and D3 follow

std::string numberText(double value) {
    return formatFixed(value, value == std::floor(value) ? 0 : 1);
}

}  // namespace

tSafetyLimits tSafetyLimits::FromSettings(const tSettings& settings) {
    tSafetyLimits limits;
    limits.maxTemperature = readNumberSetting(settings, keys::kMaxTemperature);
    limits.maxVolume = {readNumberSetting(settings, keys::kMaxVolume1),
                        readNumberSetting(settings, keys::kMaxVolume2),
                        readNumberSetting(settings, keys::kMaxVolume3)};
    limits.keepActuatorsOn = readNumberSetting(settings, keys::kKeepActuatorsOn) == 1;
    limits.silenceLimit = readNumberSetting(settings, keys::kSilenceLimit);
    return limits;
}

void tSafetyRules::StartRun() {
    pumpLocked_ = {};
    volumeBase_.reset();
    volumeBefore_ = {};
}

double tSafetyRules::Dosed(int pump) const {
    if (!volumeBase_) {
        return 0;
    }
    const auto p = static_cast<std::size_t>(pump);
    return volumeBefore_[p] + volumeLast_[p] - (*volumeBase_)[p];
}

void tSafetyRules::See(const tReadingValues& readings) {
    temperature_ = readings[qLT];
    if (temperature_ > limits_.maxTemperature) {
        heaterLocked_ = true;
    } else if (temperature_ <= limits_.maxTemperature - kHeaterBand) {
        heaterLocked_ = false;
    }
    if (!volumeBase_) {
        volumeBase_ = std::array<double, 3>{readings[qV1], readings[qV2], readings[qV3]};
        volumeLast_ = *volumeBase_;
    }
    for (std::size_t pump = 0; pump < 3; ++pump) {
        const double now = readings[qV1 + pump];
        if (now < volumeLast_[pump]) {
            // The station's counter started again: what was dosed stays dosed.
            volumeBefore_[pump] += volumeLast_[pump] - (*volumeBase_)[pump];
            (*volumeBase_)[pump] = now;
            logFile->WriteLine("SAFETY: PUMP " + std::to_string(pump + 1) + " COUNTER WENT BACK, " +
                               formatFixed(volumeBefore_[pump], 2, '.') + " ML DOSED BEFORE");
        }
        volumeLast_[pump] = now;
        const double max = limits_.maxVolume[pump];
        if (max > 0 && Dosed(static_cast<int>(pump)) >= max) {
            pumpLocked_[pump] = true;
        }
    }
}

std::optional<tIntervention> tSafetyRules::Refusal(const tCommand& command) const {
    if (!command.SwitchesOn()) {
        return std::nullopt;
    }
    const int index = command.Actuator();
    std::string why;
    if (index == kHeater && heaterLocked_) {
        why = formatText(
            constantText("DK_SAFE_HEATER_REFUSED"),
            {formatFixed(temperature_, 2), numberText(limits_.maxTemperature - kHeaterBand)});
    } else if (index >= kFirstPump && PumpLocked(index - kFirstPump)) {
        const int pump = index - kFirstPump;
        why = formatText(constantText("DK_SAFE_PUMP_REFUSED"),
                         {std::to_string(pump + 1),
                          numberText(limits_.maxVolume[static_cast<std::size_t>(pump)])});
    } else {
        return std::nullopt;
    }
    return tIntervention{why, "SAFETY: REFUSED " + command.Text(), false};
}

}  // namespace vantrel
