#pragma once

#include <string>
#include <vector>

namespace vantrel {

class tLanguageFile;

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

}  // namespace vantrel
