#include "session/StationOnView.h"

#include <utility>

#include "base/Texts.h"
#include "session/SessionView.h"

namespace vantrel {

tStationOnView::tStationOnView(iSessionView& view, tChanged actuatorsChanged,
                               tChanged stationChanged)
    : view_(view),
      actuatorsChanged_(std::move(actuatorsChanged)),
      stationChanged_(std::move(stationChanged)) {}

void tStationOnView::StationText(tStationText which, const std::string& text) {
    view_.SetStatusText(which == tStationText::Hint         ? kPanelHint
                        : which == tStationText::Connection ? kPanelConnection
                                                            : kPanelSwitchOff,
                        text);
}

void tStationOnView::ScenarioShown(const std::string& experiment, const std::string& state) {
    view_.SetScenarioLabel(experiment, state);
}

void tStationOnView::StationError(const std::string& text) {
    view_.ShowError(text, messageText(20000));
}

void tStationOnView::ActuatorsChanged() {
    if (actuatorsChanged_) {
        actuatorsChanged_();
    }
}

void tStationOnView::PollingChanged(bool on) {
    view_.SetTimerEnabled(tViewTimer::Start, on);
}

void tStationOnView::StationChanged() {
    if (stationChanged_) {
        stationChanged_();
    }
}

bool tStationOnView::KeepResponsive(int milliseconds) {
    return view_.KeepResponsive(milliseconds);
}

}  // namespace vantrel
