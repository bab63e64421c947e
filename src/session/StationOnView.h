#pragma once

#include <functional>
#include <string>

#include "station/StationSession.h"

namespace vantrel {

class iSessionView;

// What a station tells, shown on a session view (the window's or the
// console's): its texts in the status bar's panels, the scenario label,
// errors in a box, the acquisition timer on while it measures. The
// actuators' and the station's changes go to the callbacks given (none:
// nothing to redraw).
class tStationOnView : public iStationEvents {
public:
    using tChanged = std::function<void()>;
    explicit tStationOnView(iSessionView& view, tChanged actuatorsChanged = {},
                            tChanged stationChanged = {});

    void StationText(tStationText which, const std::string& text) override;
    void ScenarioShown(const std::string& experiment, const std::string& state) override;
    void StationError(const std::string& text) override;
    void ActuatorsChanged() override;
    void PollingChanged(bool on) override;
    void StationChanged() override;
    bool KeepResponsive(int milliseconds) override;

private:
    iSessionView& view_;
    tChanged actuatorsChanged_;
    tChanged stationChanged_;
};

}  // namespace vantrel
