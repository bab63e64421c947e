#pragma once

#include <array>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "session/MainView.h"

namespace vantrel::test {

// A headless main window: records every call as a text line, keeps the
// visible state, answers dialogs from scripted queues and runs no timers
// (tests call the tick handlers themselves). An empty answer queue means
// the user dismisses: No, Cancel.
class tTestView : public iMainView {
public:
    struct tDialog {
        std::string text;     // question, prompt, warning or error text
        std::string caption;  // dialog caption
        std::string edit;     // text input: the text offered for editing
    };

    // ---- scripted answers
    std::deque<bool> yesNoAnswers;
    std::deque<std::optional<std::string>> inputAnswers;  // nullopt: Cancel
    std::deque<std::optional<std::string>> openFileAnswers;
    std::deque<std::optional<std::string>> saveFileAnswers;
    std::array<std::string, 5> actuatorEdit;  // what the frames' value boxes hold
    // Runs when the controller closes the window (the window's close event).
    std::function<void()> onClose;
    // Runs on every wait of the controller for background work; false
    // cancels it (as an interrupt would).
    std::function<bool()> onBusy;

    // ---- what was shown
    std::vector<std::string> calls;  // every call, in order
    std::string caption;
    std::array<std::string, 4> status;  // index 0: last panel
    std::string scenarioLabel;
    bool actuatorPanelVisible = false;
    bool toolBarVisible = true;
    bool statusBarVisible = true;
    bool languageMenuVisible = true;
    std::array<bool, 2> timers{};  // tmTime, tmStart
    std::array<tActuatorFrameText, 5> frames;
    std::array<int, 5> frameUpdates{};
    std::vector<tDialog> questions;
    std::vector<tDialog> inputs;
    std::vector<tDialog> warnings;
    std::vector<tDialog> errors;
    std::vector<std::string> saveDialogs;    // "extension|filter"
    std::vector<std::string> openDialogs;    // filter
    std::vector<std::string> chooserStarts;  // the name each file chooser opened at
    int actionsChanged = 0;
    int sensorsPageShown = 0;
    int relativeMenuShown = 0;
    int aboutShown = 0;
    int closeRequests = 0;
    int busyWaits = 0;
    std::vector<std::string> languageMenu;
    int languageChecked = -1;
    int appliedLanguage = 0;
    std::vector<tDialog> informations;

    // Number of recorded calls that start with `prefix`.
    int CallCount(std::string_view prefix) const;

    // ---- iMainView
    void SetCaption(const std::string& text) override;
    void SetStatusText(int fromLast, const std::string& text) override;
    void SetScenarioLabel(const std::string& name, const std::string& state) override;
    void SetActuatorPanelVisible(bool visible) override;
    void SetToolBarVisible(bool visible) override;
    void SetStatusBarVisible(bool visible) override;
    void SetLanguageMenuVisible(bool visible) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    bool InputText(const std::string& caption, const std::string& prompt,
                   std::string& text) override;
    void ShowWarning(const std::string& text, const std::string& caption) override;
    void ShowError(const std::string& text, const std::string& caption) override;
    bool ChooseOpenFile(const std::string& filter, std::string& fileName) override;
    bool ChooseSaveFile(const std::string& defaultExtension, const std::string& filter,
                        std::string& fileName) override;
    void ShowSensorsPage() override;
    void SetTimerEnabled(tViewTimer timer, bool enabled) override;
    void ActionsChanged() override;
    void ShowActuatorFrame(int index, const tActuatorFrameText& frame) override;
    std::string ActuatorEditText(int index) const override;
    void ShowRelativeMenu() override;
    void ShowAbout() override;
    void Close() override;
    bool KeepResponsive(int milliseconds) override;
    std::string LanguageName(int languageId) const override;
    void SetLanguageMenu(const std::vector<std::string>& names, int checked) override;
    void CheckLanguage(int index) override;
    void ApplyLanguage(int languageId, const tLanguageFile* file) override;
    void ShowInformation(const std::string& text, const std::string& caption) override;

private:
    void record(std::string line) { calls.push_back(std::move(line)); }
};

}  // namespace vantrel::test
