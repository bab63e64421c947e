#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/NumberSetting.h"

namespace vantrel {

class tSettings;

// The automatic switch-off closes a station that was left connected and
// idle, so that it does not stay powered and heating unattended. It runs
// only while connected and not measuring: a successful connect and every
// Stop arm it from zero, Start and disconnect disarm it, so a run is never
// cut short. Its keys (CheckOffTimer, SwitchOffTime minutes, WarnTime
// seconds) are read on every tick, so an edited configuration counts at
// once; a SwitchOffTime of 0 or less means no switch-off. The panel shows
// the time left; in the last WarnTime seconds it blinks to draw the eye.
class tSwitchOffCountdown {
public:
    using tShow = std::function<void(const std::string& text)>;

    // `show` puts a text into the countdown's status panel; it is called
    // only when the text changes.
    tSwitchOffCountdown(const tSettings& settings, tShow show);

    void Arm();
    void Disarm();
    // One clock tick of `intervalMs`. True when the time is up: the caller
    // switches the station off and disconnects (which disarms).
    bool Tick(int intervalMs);

    // SwitchOffTime as configured, in minutes.
    int Minutes();
    std::int32_t Armed() const { return armed_; }
    std::int32_t Elapsed() const { return elapsed_; }

private:
    void Show(const std::string& text);

    const tSettings& settings_;
    tLiveNumberSetting check_;
    tLiveNumberSetting minutes_;
    tLiveNumberSetting warnSeconds_;
    tShow show_;
    std::int32_t armed_ = -1;
    std::int32_t elapsed_ = -1;
    std::string shown_;
};

}  // namespace vantrel
