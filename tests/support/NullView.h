#pragma once

#include <string>
#include <vector>

#include "device/Actuators.h"
#include "session/MainView.h"

namespace vantrel::test {

// A main window that shows nothing and answers every dialog with No or
// Cancel: for benchmarks and fuzz targets that drive the controller.
class tNullView : public iMainView {
public:
    void SetCaption(const std::string&) override {}
    void SetStatusText(int, const std::string&) override {}
    void SetScenarioLabel(const std::string&, const std::string&) override {}
    void SetActuatorPanelVisible(bool) override {}
    void SetToolBarVisible(bool) override {}
    void SetStatusBarVisible(bool) override {}
    void SetLanguageMenuVisible(bool) override {}
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    bool InputText(const std::string&, const std::string&, std::string&) override { return false; }
    void ShowWarning(const std::string&, const std::string&) override {}
    void ShowError(const std::string&, const std::string&) override {}
    bool ChooseOpenFile(const std::string&, std::string&) override { return false; }
    bool ChooseSaveFile(const std::string&, const std::string&, std::string&) override {
        return false;
    }
    void ShowSensorsPage() override {}
    void SetTimerEnabled(tViewTimer, bool) override {}
    void ActionsChanged() override {}
    void ShowActuatorFrame(int, const tActuatorFrameText&) override {}
    std::string ActuatorEditText(int) const override { return {}; }
    void ShowRelativeMenu() override {}
    void ShowAbout() override {}
    void Close() override {}
    bool KeepResponsive(int) override { return true; }
    std::string LanguageName(int) const override { return {}; }
    void SetLanguageMenu(const std::vector<std::string>&, int) override {}
    void CheckLanguage(int) override {}
    void ApplyLanguage(int, const tLanguageFile*) override {}
    void ShowInformation(const std::string&, const std::string&) override {}
};

}  // namespace vantrel::test
