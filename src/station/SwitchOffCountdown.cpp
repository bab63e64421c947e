#include "station/SwitchOffCountdown.h"

#include <chrono>

#include "base/Functions.h"
#include "base/Locale.h"
#include "base/Settings.h"

namespace vantrel {

tSwitchOffCountdown::tSwitchOffCountdown(const tSettings& settings, tShow show)
    : settings_(settings),
      check_(keys::kCheckOffTimer),
      minutes_(keys::kSwitchOffTime),
      warnSeconds_(keys::kWarnTime),
      show_(std::move(show)) {}

void tSwitchOffCountdown::Arm() {
    armed_ = 1;
    elapsed_ = 0;
}

void tSwitchOffCountdown::Disarm() {
    armed_ = -1;
    elapsed_ = -1;
    Show("");
}

void tSwitchOffCountdown::Show(const std::string& text) {
    if (text != shown_) {
        shown_ = text;
        show_(text);
    }
}

int tSwitchOffCountdown::Minutes() {
    return static_cast<int>(minutes_.Read(settings_));
}

bool tSwitchOffCountdown::Tick(int intervalMs) {
    const int check = static_cast<int>(check_.Read(settings_));
    const int minutes = Minutes();
    if (check == 0 || armed_ <= 0 || minutes <= 0) {
        Show("");
        return false;
    }
    const int warnSeconds = static_cast<int>(warnSeconds_.Read(settings_));
    elapsed_ += intervalMs;
    const std::int64_t remaining = static_cast<std::int64_t>(minutes) * 60000 - elapsed_;
    if (remaining < 0) {
        return true;
    }
    const std::string text = longTimeText(std::chrono::milliseconds(remaining));
    if (remaining <= static_cast<std::int64_t>(warnSeconds) * 1000) {
        Show(shown_.empty() ? text : "");
    } else {
        Show(text);
    }
    return false;
}

}  // namespace vantrel
