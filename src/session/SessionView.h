#pragma once

#include <string>

namespace vantrel {

// The main window's two periodic timers.
enum class tViewTimer {
    Time,   // tmTime: the 300 ms clock, running from the start
    Start,  // tmStart: the 100 ms acquisition tick, initially stopped
};

// Status-bar panels, counted from the last one.
inline constexpr int kPanelClock = 0;
inline constexpr int kPanelConnection = 1;
inline constexpr int kPanelSwitchOff = 2;
inline constexpr int kPanelHint = 3;  // the first panel: hints and progress

// The two timers' intervals, milliseconds: the window's timers and the
// recorder's loop both run at these.
inline constexpr int kClockIntervalMs = 300;
inline constexpr int kTickIntervalMs = 100;
inline constexpr int timerInterval(tViewTimer timer) {
    return timer == tViewTimer::Time ? kClockIntervalMs : kTickIntervalMs;
}

// What every front end shows of the session, the console too. Every call
// comes on the user-interface thread.
class iSessionView {
public:
    virtual ~iSessionView() = default;

    // Status bar; `fromLast` 0 is the last panel (see kPanel...).
    virtual void SetStatusText(int fromLast, const std::string& text) = 0;

    // What the class link says ("class: ..."); empty: there is none.
    virtual void SetClassStatus(const std::string& /*text*/) {}

    // The bold scenario label on the tool bar: the experiment's name (or the
    // text that none is loaded) and, while it runs, its state, shown as
    // "name - state".
    virtual void SetScenarioLabel(const std::string& name, const std::string& state) = 0;
    static std::string ScenarioLabelText(const std::string& name, const std::string& state) {
        return state.empty() ? name : name + " - " + state;
    }

    // Warning icon, OK button.
    virtual void ShowWarning(const std::string& text, const std::string& caption) = 0;
    // Error icon, OK button: failures the controller reports itself (the
    // link to the station lost). Errors escaping a handler are shown by
    // the window's own handler, not through here.
    virtual void ShowError(const std::string& text, const std::string& caption) = 0;
    // Information icon, OK button.
    virtual void ShowInformation(const std::string& text, const std::string& caption) = 0;

    // The front end runs the timer's handler every timerInterval(timer) ms
    // while it is enabled.
    virtual void SetTimerEnabled(tViewTimer timer, bool enabled) = 0;

    // The controller waits for work on another thread (the search for the
    // station): keep the user interface alive for up to `milliseconds`
    // (events, timers, repaints). False when the user asked to cancel in a
    // way only the view knows of (an interrupt of the console).
    virtual bool KeepResponsive(int milliseconds) = 0;

    // Ends the front end: the window asks TfmMain::FormCloseQuery and, when
    // that allows it, calls TfmMain::FormClose.
    virtual void Close() = 0;
};

}  // namespace vantrel
