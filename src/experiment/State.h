#pragma once

#include <string>
#include <vector>

#include "device/Command.h"

namespace vantrel {

// One state of a scenario: its number (the index of its section), the name
// shown to the user and the station commands sent on entering it. The
// commands are read when the state is made, so a switch the station would
// misread is a load error, not a surprise in the middle of a lesson.
class tState {
public:
    // tError when an action does not read (see AddAction).
    tState(int number, std::string name, const std::vector<std::string>& actions);

    int Number() const { return number_; }
    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    // The actions as the scenario wrote them.
    const std::vector<std::string>& Actions() const { return actions_; }
    // The same, as they go to the station.
    const std::vector<tCommand>& Commands() const { return commands_; }
    // tError with the reason when `action` is addressed to an actuator and
    // does not read as a command (tCommand::Parse).
    void AddAction(std::string action);

private:
    int number_;
    std::string name_;
    std::vector<std::string> actions_;
    std::vector<tCommand> commands_;
};

}  // namespace vantrel
