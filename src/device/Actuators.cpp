#include "device/Actuators.h"

#include <array>

#include "base/Functions.h"

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

std::string setCommand(const tActuator& actuator, std::string_view typedValue) {
    const int value = strToIntDef(typedValue, 0);
    return actuator.id + (value != 0 ? ",1," : ",0,") + std::to_string(value);
}

std::string clearCommand(const tActuator& actuator) {
    return actuator.id + ",0";
}

std::string actuatorPattern(const tActuatorTable& table) {
    std::string pattern;
    for (const tActuator& actuator : table) {
        pattern += actuator.id;
        pattern += ":%d,%d\t";
    }
    return pattern;
}

int matchStateReply(tActuatorTable& table, std::string_view reply) {
    const tRecordMatcher matcher(actuatorPattern(table));
    std::array<tMatchTarget, 2 * kActuatorCount> targets;
    for (int i = 0; i < kActuatorCount; ++i) {
        targets[2 * i].integer = &table[i].state;
        targets[2 * i + 1].integer = &table[i].speed;
    }
    return matcher.Match(reply, targets);
}

}  // namespace vantrel
