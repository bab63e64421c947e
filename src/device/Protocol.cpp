#include "device/Protocol.h"

#include <array>

#include "base/Functions.h"
#include "device/RecordMatcher.h"

namespace vantrel {

bool isPeriodInRange(int milliseconds) {
    return milliseconds >= kMinPeriodMs && milliseconds <= kMaxPeriodMs;
}

std::string periodCommand(int milliseconds) {
    // Built by appending: g++ 12 at -O3 takes "F" + text for an overlapping copy.
    std::string command = "F";
    command += std::to_string(milliseconds);
    return command;
}

std::optional<int> periodOfCommand(std::string_view command) {
    int period = 0;
    if (command.size() > 1 && command[0] == 'F' && tryParseInt(command.substr(1), period) &&
        isPeriodInRange(period)) {
        return period;
    }
    return std::nullopt;
}

tCommand setCommand(int index, std::string_view typedValue) {
    return tCommand::Set(index, strToIntDef(typedValue, 0));
}

std::string actuatorPattern(const tActuatorTable& table) {
    std::string pattern;
    for (const tActuator& actuator : table) {
        pattern += actuator.id;
        pattern += ":%d,%d\t";
    }
    return pattern;
}

std::string recordPattern(const tActuatorTable& table) {
    return "LT:%f\tLP:%f\tLC:%f\tLE:%f\tV1:%f\tV2:%f\tV3:%f\t" + actuatorPattern(table) + "TT:%f";
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
