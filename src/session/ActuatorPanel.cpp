#include "session/ActuatorPanel.h"

#include <cstdlib>
#include <string>

#include "base/Texts.h"

namespace vantrel {

void tActuatorPanel::Build(const tActuatorTable& table) {
    for (int i = 0; i < kActuatorCount; ++i) {
        const tActuator& actuator = table[i];
        tActuatorFrameText& frame = frames_[i];
        frame.name = actuator.name;
        frame.id = actuator.id;
        frame.rangeHint = rangeHint(actuator);
        frame.stateText = constantText("DK_STATE_ONOFF");
        frame.speedText = "???";
        frame.forwardVisible = false;
        frame.backVisible = false;
        shown_[i] = {};
        window_.ShowActuatorFrame(i, frame);
    }
    built_ = true;
}

void tActuatorPanel::Refresh(const tActuatorTable& table) {
    if (!built_) {
        return;
    }
    for (int i = 0; i < kActuatorCount; ++i) {
        const tActuator& actuator = table[i];
        tShown& shown = shown_[i];
        if (shown.valid && shown.state == actuator.state && shown.speed == actuator.speed) {
            continue;
        }
        tActuatorFrameText& frame = frames_[i];
        if (actuator.hasDirection) {
            frame.forwardVisible = actuator.speed > 0;
            frame.backVisible = actuator.speed < 0;
        }
        if (!shown.valid || (shown.state != 0) != (actuator.state != 0)) {
            frame.stateText = constantText(actuator.state != 0 ? "DK_STATE_ON" : "DK_STATE_OFF");
        }
        if (!shown.valid || shown.speed != actuator.speed) {
            frame.speedText = std::to_string(std::llabs(static_cast<long long>(actuator.speed)));
        }
        shown = {true, actuator.state, actuator.speed};
        window_.ShowActuatorFrame(i, frame);
    }
}

}  // namespace vantrel
