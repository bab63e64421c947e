#include "experiment/State.h"

#include <utility>

#include "base/Error.h"

namespace vantrel {

tState::tState(int number, std::string name, const std::vector<std::string>& actions)
    : number_(number), name_(std::move(name)) {
    for (const std::string& action : actions) {
        AddAction(action);
    }
}

void tState::AddAction(std::string action) {
    std::string error;
    std::optional<tCommand> command = tCommand::Parse(action, error);
    if (!command) {
        throw tError(error);
    }
    commands_.push_back(std::move(*command));
    actions_.push_back(std::move(action));
}

}  // namespace vantrel
