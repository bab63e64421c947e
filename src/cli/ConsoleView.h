#pragma once

#include <array>
#include <atomic>
#include <ostream>
#include <string>

#include "session/SessionView.h"

namespace vantrel {

// The session's outputs on a console: warnings, errors and the connection,
// switch-off, progress and scenario texts are written to the given stream
// (standard error).
class tConsoleView : public iSessionView {
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
    bool TimerEnabled(tViewTimer timer) const { return timers_[static_cast<int>(timer)]; }

    void SetStatusText(int fromLast, const std::string& text) override;
    void SetScenarioLabel(const std::string& name, const std::string& state) override;
    void ShowWarning(const std::string& text, const std::string& caption) override;
    void ShowError(const std::string& text, const std::string& caption) override;
    void SetTimerEnabled(tViewTimer timer, bool enabled) override;
    void Close() override;
    bool KeepResponsive(int milliseconds) override;
    void ShowInformation(const std::string& text, const std::string& caption) override;

private:
    std::ostream& messages_;
    bool echo_ = false;
    std::string scenarioLabel_;
    int errorCount_ = 0;
    std::string lastError_;
    bool closeRequested_ = false;
    std::array<bool, 2> timers_{};
    const std::atomic<int>* interrupts_ = nullptr;
};

}  // namespace vantrel
