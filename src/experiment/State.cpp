#include "experiment/State.h"

#include <utility>

namespace vantrel {

tState::tState(int number, std::string name, std::vector<std::string> actions)
    : number_(number), name_(std::move(name)), actions_(std::move(actions)) {}

}  // namespace vantrel
