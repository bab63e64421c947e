#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "device/Actuators.h"
#include "device/Protocol.h"
#include "device/Readings.h"
#include "device/RecordMatcher.h"

namespace vantrel {

class tSettings;

// One accepted state record: the station's time in seconds and the seven
// readings in physical units (V1 to V3 in millilitres).
struct tRecord {
    float time = 0;
    tReadingValues readings{};
};

// Turns a state-record line into readings. The pattern is built once from
// the actuator ids (a language renames actuators, never their ids); the
// actuators' state and set value go into the table the moment they match,
// also when a later field fails. A line without all 18 values is logged with
// its count ("17: STRANGE ANSWER. IGNORED.") and gives nothing.
class tRecordDecoder {
public:
    static constexpr int kValueCount = kRecordValueCount;

    // `actuators` must outlive the decoder.
    tRecordDecoder(tActuatorTable& actuators, double volumeCoefficient);
    tRecordDecoder(const tRecordDecoder&) = delete;
    tRecordDecoder& operator=(const tRecordDecoder&) = delete;

    std::optional<tRecord> Decode(std::string_view line);

    double VolumeCoefficient() const { return volumeCoefficient_; }

private:
    double volumeCoefficient_;
    tRecordMatcher matcher_;
    tReadingValues readings_{};
    float tt_ = 0;
    std::array<tMatchTarget, kValueCount> targets_;
};

// The configured volume coefficient ("." or "," as separator); the default
// when the key is absent, unreadable or not a positive finite number (the
// last is logged). The value used is logged with five decimals.
double readVolumeCoefficient(const tSettings& settings);

}  // namespace vantrel
