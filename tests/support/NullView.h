#pragma once

#include <string>

#include "session/SessionView.h"

namespace vantrel::test {

// A front end that shows nothing and has no window, so no question is ever
// asked: for benchmarks and fuzz targets that drive the controller.
class tNullView : public iSessionView {
public:
    void SetStatusText(int, const std::string&) override {}
    void SetScenarioLabel(const std::string&, const std::string&) override {}
    void ShowWarning(const std::string&, const std::string&) override {}
    void ShowError(const std::string&, const std::string&) override {}
    void ShowInformation(const std::string&, const std::string&) override {}
    void SetTimerEnabled(tViewTimer, bool) override {}
    bool KeepResponsive(int) override { return true; }
    void Close() override {}
};

}  // namespace vantrel::test
