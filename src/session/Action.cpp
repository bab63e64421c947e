#include "session/Action.h"

#include <utility>

namespace vantrel {

tAction::tAction(std::string name, std::string caption, std::vector<std::string> shortcuts,
                 std::string hint, tHandler execute, tHandler update)
    : name_(std::move(name)),
      caption_(std::move(caption)),
      shortcuts_(std::move(shortcuts)),
      hint_(std::move(hint)),
      execute_(std::move(execute)),
      update_(std::move(update)) {}

void tAction::Update() {
    if (update_) {
        update_(*this);
    }
}

bool tAction::Execute() {
    Update();
    if (!enabled_) {
        return false;
    }
    if (execute_) {
        execute_(*this);
    }
    return true;
}

}  // namespace vantrel
