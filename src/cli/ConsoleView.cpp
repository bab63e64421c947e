#include "cli/ConsoleView.h"

#include <chrono>
#include <thread>

namespace vantrel {

namespace {

constexpr const char* kPrefix = "vantrel-cli: ";

}  // namespace

tConsoleView::tConsoleView(std::ostream& messages) : messages_(messages) {}

void tConsoleView::SetStatusText(int fromLast, const std::string& text) {
    // The clock changes every 300 ms and would bury everything else; the
    // blinking countdown writes only its non-empty phase.
    if (!echo_ || fromLast == kPanelClock || text.empty()) {
        return;
    }
    const char* what = fromLast == kPanelConnection  ? "connection: "
                       : fromLast == kPanelSwitchOff ? "switch-off in "
                                                     : "";
    messages_ << kPrefix << what << text << '\n';
}

void tConsoleView::SetScenarioLabel(const std::string& name, const std::string& state) {
    const std::string text = ScenarioLabelText(name, state);
    const bool changed = scenarioLabel_ != text;
    scenarioLabel_ = text;
    if (echo_ && changed) {
        messages_ << kPrefix << "scenario: " << text << '\n';
    }
}

void tConsoleView::ShowWarning(const std::string& text, const std::string& caption) {
    messages_ << kPrefix << caption << ": " << text << '\n';
}

void tConsoleView::ShowError(const std::string& text, const std::string& caption) {
    ++errorCount_;
    lastError_ = text;
    messages_ << kPrefix << caption << ": " << text << '\n';
}

void tConsoleView::SetTimerEnabled(tViewTimer timer, bool enabled) {
    timers_[static_cast<int>(timer)] = enabled;
}

void tConsoleView::Close() {
    closeRequested_ = true;
}

bool tConsoleView::KeepResponsive(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    return interrupts_ == nullptr || interrupts_->load() == 0;
}

void tConsoleView::ShowInformation(const std::string& text, const std::string& caption) {
    messages_ << kPrefix << caption << ": " << text << '\n';
}

}  // namespace vantrel
