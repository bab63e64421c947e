#pragma once

#include <array>
#include <cstdint>

#include "device/Actuators.h"
#include "session/WindowParts.h"

namespace vantrel {

// The five actuator frames as the controller keeps them in step with the
// actuator table. A frame is told again only when its actuator's reported
// state or set value differs from what it already shows, so a record that
// changes nothing costs the window nothing.
class tActuatorPanel {
public:
    explicit tActuatorPanel(iWindowParts& window) : window_(window) {}

    // Every frame in its initial look: name, identifier, range hint,
    // "Вкл/Выкл", "???" and no arrow.
    void Build(const tActuatorTable& table);
    // The table's state and set values into the frames (nothing before Build).
    void Refresh(const tActuatorTable& table);

private:
    struct tShown {
        bool valid = false;
        std::int32_t state = 0;
        std::int32_t speed = 0;
    };

    iWindowParts& window_;
    bool built_ = false;
    std::array<tActuatorFrameText, kActuatorCount> frames_;
    std::array<tShown, kActuatorCount> shown_;
};

}  // namespace vantrel
