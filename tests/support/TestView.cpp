#include "support/TestView.h"

#include <chrono>
#include <thread>

namespace vantrel::test {

namespace {

const char* timerName(tViewTimer timer) {
    return timer == tViewTimer::Time ? "tmTime" : "tmStart";
}

std::string flag(bool value) {
    return value ? "1" : "0";
}

}  // namespace

int tTestView::CallCount(std::string_view prefix) const {
    int count = 0;
    for (const std::string& call : calls) {
        count += call.starts_with(prefix) ? 1 : 0;
    }
    return count;
}

void tTestView::SetCaption(const std::string& text) {
    record("SetCaption " + text);
    caption = text;
}

void tTestView::SetStatusText(int fromLast, const std::string& text) {
    record("SetStatusText " + std::to_string(fromLast) + " " + text);
    if (fromLast >= 0 && fromLast < static_cast<int>(status.size())) {
        status[fromLast] = text;
    }
}

void tTestView::SetScenarioLabel(const std::string& name, const std::string& state) {
    scenarioLabel = ScenarioLabelText(name, state);
    record("SetScenarioLabel " + scenarioLabel);
}

void tTestView::SetActuatorPanelVisible(bool visible) {
    record("SetActuatorPanelVisible " + flag(visible));
    actuatorPanelVisible = visible;
}

void tTestView::SetToolBarVisible(bool visible) {
    record("SetToolBarVisible " + flag(visible));
    toolBarVisible = visible;
}

void tTestView::SetStatusBarVisible(bool visible) {
    record("SetStatusBarVisible " + flag(visible));
    statusBarVisible = visible;
}

void tTestView::SetLanguageMenuVisible(bool visible) {
    record("SetLanguageMenuVisible " + flag(visible));
    languageMenuVisible = visible;
}

bool tTestView::AskYesNo(const std::string& text, const std::string& caption) {
    record("AskYesNo " + text);
    questions.push_back({text, caption, {}});
    if (yesNoAnswers.empty()) {
        return false;
    }
    const bool answer = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return answer;
}

bool tTestView::InputText(const std::string& caption, const std::string& prompt,
                          std::string& text) {
    record("InputText " + prompt + " [" + text + "]");
    inputs.push_back({prompt, caption, text});
    if (inputAnswers.empty()) {
        return false;
    }
    const std::optional<std::string> answer = inputAnswers.front();
    inputAnswers.pop_front();
    if (!answer) {
        return false;
    }
    text = *answer;
    return true;
}

void tTestView::ShowWarning(const std::string& text, const std::string& caption) {
    record("ShowWarning " + text);
    warnings.push_back({text, caption, {}});
}

void tTestView::ShowError(const std::string& text, const std::string& caption) {
    record("ShowError " + text);
    errors.push_back({text, caption, {}});
}

bool tTestView::ChooseOpenFile(const std::string& filter, std::string& fileName) {
    record("ChooseOpenFile " + filter);
    chooserStarts.push_back(fileName);
    openDialogs.push_back(filter);
    if (openFileAnswers.empty() || !openFileAnswers.front()) {
        if (!openFileAnswers.empty()) {
            openFileAnswers.pop_front();
        }
        return false;
    }
    fileName = *openFileAnswers.front();
    openFileAnswers.pop_front();
    return true;
}

bool tTestView::ChooseSaveFile(const std::string& defaultExtension, const std::string& filter,
                               std::string& fileName) {
    record("ChooseSaveFile " + defaultExtension + "|" + filter);
    chooserStarts.push_back(fileName);
    saveDialogs.push_back(defaultExtension + "|" + filter);
    if (saveFileAnswers.empty() || !saveFileAnswers.front()) {
        if (!saveFileAnswers.empty()) {
            saveFileAnswers.pop_front();
        }
        return false;
    }
    fileName = *saveFileAnswers.front();
    saveFileAnswers.pop_front();
    return true;
}

void tTestView::ShowSensorsPage() {
    record("ShowSensorsPage");
    ++sensorsPageShown;
}

void tTestView::SetTimerEnabled(tViewTimer timer, bool enabled) {
    record(std::string("SetTimerEnabled ") + timerName(timer) + " " + flag(enabled));
    timers[timer == tViewTimer::Time ? 0 : 1] = enabled;
}

void tTestView::ActionsChanged() {
    ++actionsChanged;
}

void tTestView::ShowActuatorFrame(int index, const tActuatorFrameText& frame) {
    record("ShowActuatorFrame " + std::to_string(index) + " " + frame.stateText + " " +
           frame.speedText + " " + flag(frame.forwardVisible) + flag(frame.backVisible));
    if (index >= 0 && index < static_cast<int>(frames.size())) {
        frames[index] = frame;
        ++frameUpdates[index];
    }
}

std::string tTestView::ActuatorEditText(int index) const {
    if (index >= 0 && index < static_cast<int>(actuatorEdit.size())) {
        return actuatorEdit[index];
    }
    return {};
}

void tTestView::ShowRelativeMenu() {
    record("ShowRelativeMenu");
    ++relativeMenuShown;
}

void tTestView::ShowAbout() {
    record("ShowAbout");
    ++aboutShown;
}

void tTestView::Close() {
    record("Close");
    ++closeRequests;
    if (onClose) {
        onClose();
    }
}

}  // namespace vantrel::test

namespace vantrel::test {

bool tTestView::KeepResponsive(int milliseconds) {
    ++busyWaits;
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    return onBusy ? onBusy() : true;
}

std::string tTestView::LanguageName(int) const {
    return {};
}

void tTestView::SetLanguageMenu(const std::vector<std::string>& names, int checked) {
    languageMenu = names;
    languageChecked = checked;
}

void tTestView::CheckLanguage(int index) {
    languageChecked = index;
}

void tTestView::ApplyLanguage(int languageId, const tLanguageFile*) {
    record("ApplyLanguage " + std::to_string(languageId));
    appliedLanguage = languageId;
}

void tTestView::ShowInformation(const std::string& text, const std::string& caption) {
    informations.push_back({text, caption, {}});
}

}  // namespace vantrel::test
