#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "device/RecordMatcher.h"

namespace vantrel {

// One actuator of the station as the program knows it: fixed description
// plus the state and set value the station last reported.
struct tActuator {
    std::string name;  // display name
    std::string id;    // identifier on the wire ("H0", "M0", "D1", ...)
    bool hasDirection = false;
    std::int32_t minValue = 0;  // smallest magnitude of a non-zero set value
    std::int32_t maxValue = 0;
    std::int32_t state = 0;  // 0 off, other on
    std::int32_t speed = 0;  // signed set value
    bool hasFrame = false;   // the window has built this actuator's frame
};

inline constexpr int kActuatorCount = 5;
using tActuatorTable = std::array<tActuator, kActuatorCount>;

// Heater, stirrer, pumps 1 to 3, as the station starts.
tActuatorTable initialActuators();

// "[0..255]", "[-255..255]", "[-600..-6],[6..600]".
std::string rangeHint(const tActuator& actuator);

// Switch-on command for the text typed in a frame: anything that is not a
// whole integer counts as 0 ("M0,1,120", "M0,1,-50", "H0,0,0").
std::string setCommand(const tActuator& actuator, std::string_view typedValue);
// Switch-off command ("D2,0").
std::string clearCommand(const tActuator& actuator);

// "id:%d,%d\t" for every actuator in table order: the actuator part of a
// state record and the whole reply to the state query.
std::string actuatorPattern(const tActuatorTable& table);

// Matches the reply to "?" into the table's states and set values (each
// number stored as it matches). Returns the count of numbers stored (10 when
// the reply is complete), -1 for an empty reply.
int matchStateReply(tActuatorTable& table, std::string_view reply);

}  // namespace vantrel
