#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

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
// The actuators' identifiers on the wire, in table order.
inline constexpr std::array<std::string_view, kActuatorCount> kActuatorIds{"H0", "M0", "D1", "D2",
                                                                           "D3"};
using tActuatorTable = std::array<tActuator, kActuatorCount>;

// Heater, stirrer, pumps 1 to 3, as the station starts.
tActuatorTable initialActuators();

// "[0..255]", "[-255..255]", "[-600..-6],[6..600]".
std::string rangeHint(const tActuator& actuator);

}  // namespace vantrel
