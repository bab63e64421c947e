#include "device/Command.h"

#include <array>
#include <charconv>
#include <vector>

#include "base/Functions.h"
#include "device/Actuators.h"
#include "device/Protocol.h"

namespace vantrel {

namespace {

// A whole number as the station reads one: an optional minus and digits.
bool stationInt(std::string_view text, int& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end;
}

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

int actuatorOf(std::string_view id) {
    for (int i = 0; i < kActuatorCount; ++i) {
        if (equalsIgnoreCase(id, kActuatorIds[static_cast<std::size_t>(i)])) {
            return i;
        }
    }
    return -1;
}

std::string actuatorText(int actuator, int flag, std::optional<int> value) {
    std::string text(kActuatorIds[static_cast<std::size_t>(actuator)]);
    text += ',';
    text += std::to_string(flag);
    if (value) {
        text += ',';
        text += std::to_string(*value);
    }
    return text;
}

}  // namespace

tCommand::tCommand(tKind kind, int actuator, int flag, int value, std::string text)
    : kind_(kind), actuator_(actuator), flag_(flag), value_(value), text_(std::move(text)) {}

std::optional<tCommand> tCommand::Parse(std::string_view text, std::string& error) {
    error.clear();
    if (const std::optional<int> period = periodOfCommand(text)) {
        return tCommand(tKind::Period, -1, 0, *period, std::string(text));
    }
    const std::size_t comma = text.find(',');
    const int actuator = actuatorOf(trimmed(text.substr(0, comma)));
    if (actuator < 0) {
        return tCommand(tKind::Other, -1, 0, 0, std::string(text));
    }
    const std::string_view id = kActuatorIds[static_cast<std::size_t>(actuator)];
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t next = text.find(',', start);
        fields.push_back(text.substr(start, next - start));
        if (next == std::string_view::npos) {
            break;
        }
        start = next + 1;
    }
    const std::string example = std::string(id) + ",1,100 or " + std::string(id) + ",0";
    if (fields[0] != id) {
        error = "write the actuator as " + std::string(id) + " with nothing around it (" + example +
                ")";
        return std::nullopt;
    }
    if (fields.size() < 2 || fields.size() > 3) {
        error = "an actuator's command is ID,FLAG,VALUE or ID,0 (" + example + ")";
        return std::nullopt;
    }
    int flag = 0;
    if (!stationInt(fields[1], flag)) {
        error =
            "the flag \"" + std::string(fields[1]) + "\" is not a whole number (" + example + ")";
        return std::nullopt;
    }
    std::optional<int> value;
    if (fields.size() == 3) {
        int number = 0;
        if (!stationInt(fields[2], number)) {
            error = "the value \"" + std::string(fields[2]) + "\" is not a whole number (" +
                    example + ")";
            return std::nullopt;
        }
        value = number;
    } else if (flag != 0) {
        error = "switching on needs a value (" + example + ")";
        return std::nullopt;
    }
    return tCommand(tKind::Actuator, actuator, flag, value.value_or(0),
                    actuatorText(actuator, flag, value));
}

tCommand tCommand::Set(int actuator, int value) {
    const int flag = value != 0 ? 1 : 0;
    return tCommand(tKind::Actuator, actuator, flag, value, actuatorText(actuator, flag, value));
}

tCommand tCommand::Off(int actuator) {
    return tCommand(tKind::Actuator, actuator, 0, 0, actuatorText(actuator, 0, std::nullopt));
}

tCommand tCommand::Period(int milliseconds) {
    return tCommand(tKind::Period, -1, 0, milliseconds, periodCommand(milliseconds));
}

}  // namespace vantrel
