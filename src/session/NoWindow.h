#pragma once

#include <string>
#include <vector>

#include "session/Dialogs.h"
#include "session/WindowParts.h"

namespace vantrel {

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
