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

// Everything the main window's controller needs from the user interface.
// Every call comes on the user-interface thread. The desktop window
// implements it with widgets; tests record the calls and script the answers.
class iMainView {
public:
    virtual ~iMainView() = default;

    virtual void SetCaption(const std::string& text) = 0;

    // Status bar; `fromLast` 0 is the last panel (see kPanel...).
    virtual void SetStatusText(int fromLast, const std::string& text) = 0;

    // The bold scenario label on the tool bar: the experiment's name (or the
    // text that none is loaded) and, while it runs, its state, shown as
    // "name - state".
    virtual void SetScenarioLabel(const std::string& name, const std::string& state) = 0;
    static std::string ScenarioLabelText(const std::string& name, const std::string& state) {
        return state.empty() ? name : name + " - " + state;
    }

    virtual void SetActuatorPanelVisible(bool visible) = 0;
    virtual void SetToolBarVisible(bool visible) = 0;
    virtual void SetStatusBarVisible(bool visible) = 0;
    // The language submenu and the separator below it.
    virtual void SetLanguageMenuVisible(bool visible) = 0;

    // Modal question with a question icon and Yes/No; No is the default.
    virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
    // One line of text with OK and Cancel; `text` comes in as the text to
    // edit and goes out as the user left it. False when cancelled.
    virtual bool InputText(const std::string& caption, const std::string& prompt,
                           std::string& text) = 0;
    // Warning icon, OK button.
    virtual void ShowWarning(const std::string& text, const std::string& caption) = 0;
    // Error icon, OK button: failures the controller reports itself (the
    // link to the station lost). Errors escaping a handler are shown by
    // the window's own handler, not through here.
    virtual void ShowError(const std::string& text, const std::string& caption) = 0;

    // File choosers; false when cancelled. Filters are "text|mask|text|mask".
    virtual bool ChooseOpenFile(const std::string& filter, std::string& fileName) = 0;
    virtual bool ChooseSaveFile(const std::string& defaultExtension, const std::string& filter,
                                std::string& fileName) = 0;

    // Brings the "Показания" chart page to the front.
    virtual void ShowSensorsPage() = 0;

    virtual void SetTimerEnabled(tViewTimer timer, bool enabled) = 0;

    // The enabled/checked/visible state of one or more actions may have
    // changed; the window refreshes its mirrors of them.
    virtual void ActionsChanged() = 0;

    // Actuator frames, index 0 to 4 in table order.
    virtual void ShowActuatorFrame(int index, const tActuatorFrameText& frame) = 0;
    virtual std::string ActuatorEditText(int index) const = 0;

    // Opens the relative-readings drop-down menu below its tool button.
    virtual void ShowRelativeMenu() = 0;
    // Shows the about box modally.
    virtual void ShowAbout() = 0;
    // Closes the window: the window asks TfmMain::FormCloseQuery and, when
    // that allows it, calls TfmMain::FormClose.
    virtual void Close() = 0;

    // The controller waits for work on another thread (the search for the
    // station): keep the user interface alive for up to `milliseconds`
    // (events, timers, repaints). False when the user asked to cancel in a
    // way only the view knows of (an interrupt of the console).
    virtual bool KeepResponsive(int milliseconds) = 0;

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
    // Information icon, OK button.
    virtual void ShowInformation(const std::string& text, const std::string& caption) = 0;
};

}  // namespace vantrel
