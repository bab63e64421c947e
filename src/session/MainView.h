#pragma once

#include <string>
#include <vector>

namespace vantrel {

class tLanguageFile;

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

// What one actuator frame shows.
struct tActuatorFrameText {
    std::string name;       // title panel
    std::string id;         // hidden identifier label
    std::string rangeHint;  // tool tip of the value box
    std::string stateText;  // on/off text
    std::string speedText;  // magnitude of the set value
    bool forwardVisible = false;
    bool backVisible = false;
};

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

// The questions only a person at a window can answer.
class iDialogs {
public:
    virtual ~iDialogs() = default;

    // Modal question with a question icon and Yes/No; No is the default.
    virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
    // One line of text with OK and Cancel; `text` comes in as the text to
    // edit and goes out as the user left it. False when cancelled.
    virtual bool InputText(const std::string& caption, const std::string& prompt,
                           std::string& text) = 0;
    // File choosers; false when cancelled. Filters are "text|mask|text|mask".
    virtual bool ChooseOpenFile(const std::string& filter, std::string& fileName) = 0;
    virtual bool ChooseSaveFile(const std::string& defaultExtension, const std::string& filter,
                                std::string& fileName) = 0;
    // Opens the relative-readings drop-down menu below its tool button.
    virtual void ShowRelativeMenu() = 0;
    // Shows the about box modally.
    virtual void ShowAbout() = 0;
};

// The window's furniture: caption, bars, pages, actuator frames, menus.
class iWindowParts {
public:
    virtual ~iWindowParts() = default;

    virtual void SetCaption(const std::string& text) = 0;
    virtual void SetActuatorPanelVisible(bool visible) = 0;
    virtual void SetToolBarVisible(bool visible) = 0;
    virtual void SetStatusBarVisible(bool visible) = 0;
    // The language submenu and the separator below it.
    virtual void SetLanguageMenuVisible(bool visible) = 0;
    // Brings the "Показания" chart page to the front.
    virtual void ShowSensorsPage() = 0;
    // The enabled/checked/visible state of one or more actions may have
    // changed; the window refreshes its mirrors of them.
    virtual void ActionsChanged() = 0;

    // Actuator frames, index 0 to 4 in table order.
    virtual void ShowActuatorFrame(int index, const tActuatorFrameText& frame) = 0;
    virtual std::string ActuatorEditText(int index) const = 0;

    // ---- languages
    // The system's own name of a language ("" when it has none).
    virtual std::string LanguageName(int languageId) const = 0;
    // The language submenu: one radio item per name, `checked` marked.
    virtual void SetLanguageMenu(const std::vector<std::string>& names, int checked) = 0;
    virtual void CheckLanguage(int index) = 0;
    // The language of this run: the toolkit's own texts (dialog buttons,
    // file dialogs) follow it, and with a file (any language but the
    // built-in one) every window and frame takes its texts from it.
    virtual void ApplyLanguage(int languageId, const tLanguageFile* file) = 0;
};

// A whole window: the desktop program's and the tests' headless one.
class iMainView : public iSessionView, public iDialogs, public iWindowParts {};

// Stands in for the dialogs and furniture a console does not have: every
// question is declined, every chooser cancelled, nothing is shown.
class tNoWindow final : public iDialogs, public iWindowParts {
public:
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    bool InputText(const std::string&, const std::string&, std::string&) override { return false; }
    bool ChooseOpenFile(const std::string&, std::string&) override { return false; }
    bool ChooseSaveFile(const std::string&, const std::string&, std::string&) override {
        return false;
    }
    void ShowRelativeMenu() override {}
    void ShowAbout() override {}
    void SetCaption(const std::string&) override {}
    void SetActuatorPanelVisible(bool) override {}
    void SetToolBarVisible(bool) override {}
    void SetStatusBarVisible(bool) override {}
    void SetLanguageMenuVisible(bool) override {}
    void ShowSensorsPage() override {}
    void ActionsChanged() override {}
    void ShowActuatorFrame(int, const tActuatorFrameText&) override {}
    std::string ActuatorEditText(int) const override { return {}; }
    std::string LanguageName(int) const override { return {}; }
    void SetLanguageMenu(const std::vector<std::string>&, int) override {}
    void CheckLanguage(int) override {}
    void ApplyLanguage(int, const tLanguageFile*) override {}
};

}  // namespace vantrel
