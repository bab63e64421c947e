#pragma once

#include <array>
#include <atomic>
#include <ostream>
#include <string>

#include "session/MainView.h"

namespace vantrel {

// The main window's view for a console: no widgets and nobody to ask.
// Questions are answered as an unattended run needs (the exit question
// yes, text input and file choosers cancelled); warnings, errors and the
// connection, switch-off, progress and scenario texts are written to the
// given stream (standard error). The recorder's loop runs the ticks.
class tConsoleView : public iMainView {
public:
    explicit tConsoleView(std::ostream& messages);

    // Changes of the status and scenario texts are written only when on
    // (off while the controller sets up its initial texts).
    void SetEcho(bool on) { echo_ = on; }
    // Counts the user's interrupts (Ctrl+C): after one, a wait for
    // background work asks the controller to cancel it. Not owned; may be null.
    void SetInterrupts(const std::atomic<int>* interrupts) { interrupts_ = interrupts; }

    int ErrorCount() const { return errorCount_; }
    const std::string& LastError() const { return lastError_; }
    bool CloseRequested() const { return closeRequested_; }

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
    std::ostream& messages_;
    bool echo_ = false;
    std::string scenarioLabel_;
    int errorCount_ = 0;
    std::string lastError_;
    bool closeRequested_ = false;
    const std::atomic<int>* interrupts_ = nullptr;
};

}  // namespace vantrel
