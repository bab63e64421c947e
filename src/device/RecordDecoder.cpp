#include "device/RecordDecoder.h"

#include <cmath>
#include <string>

#include "base/Functions.h"
#include "base/LogFile.h"
#include "base/NumberSetting.h"

namespace vantrel {

tRecordDecoder::tRecordDecoder(tActuatorTable& actuators, double volumeCoefficient)
    : volumeCoefficient_(volumeCoefficient), matcher_(recordPattern(actuators)) {
    for (int i = 0; i < kQuantityCount; ++i) {
        targets_[i].real = &readings_[i];
    }
    for (int i = 0; i < kActuatorCount; ++i) {
        targets_[kQuantityCount + 2 * i].integer = &actuators[i].state;
        targets_[kQuantityCount + 2 * i + 1].integer = &actuators[i].speed;
    }
    targets_[kValueCount - 1].real = &tt_;
}

std::optional<tRecord> tRecordDecoder::Decode(std::string_view line) {
    const int count = matcher_.Match(line, targets_);
    if (count != kValueCount) {
        logFile->WriteLine(std::to_string(count) + ": STRANGE ANSWER. IGNORED.");
        return std::nullopt;
    }
    tRecord record;
    record.readings = readings_;
    for (int i = qV1; i <= qV3; ++i) {
        record.readings[i] = static_cast<float>(readings_[i] * volumeCoefficient_);
    }
    record.time = static_cast<float>(tt_ * 0.001);
    return record;
}

double readVolumeCoefficient(const tSettings& settings) {
    // Not positive, or endless, it would export volumes that are plainly
    // wrong: the key's range keeps the default, the station's own.
    const double value = readNumberSetting(settings, keys::kVolCoeff);
    logFile->WriteLine("Using volume coefficient: " + formatFixed(value, 5));
    return value;
}

}  // namespace vantrel
