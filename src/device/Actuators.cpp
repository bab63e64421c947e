#include "device/Actuators.h"

namespace vantrel {

tActuatorTable initialActuators() {
    tActuatorTable table;
    // Two leading blanks indent the names in the frames' left-aligned titles.
    table[0] = {"  Нагреватель", "H0", false, 0, 255};
    table[1] = {"  Мешалка", "M0", true, 0, 255};
    table[2] = {"  Дозатор 1", "D1", true, 6, 600};
    table[3] = {"  Дозатор 2", "D2", true, 6, 600};
    table[4] = {"  Дозатор 3", "D3", true, 6, 600};
    return table;
}

std::string rangeHint(const tActuator& actuator) {
    const std::string m = std::to_string(actuator.minValue);
    const std::string M = std::to_string(actuator.maxValue);
    if (!actuator.hasDirection) {
        return "[" + m + ".." + M + "]";
    }
    if (actuator.minValue == 0) {
        return "[-" + M + ".." + M + "]";
    }
    return "[-" + M + "..-" + m + "],[" + m + ".." + M + "]";
}

}  // namespace vantrel
