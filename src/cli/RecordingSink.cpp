#include "cli/RecordingSink.h"

#include <algorithm>

namespace vantrel {

tRecordingSink::tRecordingSink(std::optional<std::int64_t> limit) : limit_(limit) {}

void tRecordingSink::EnterLiveMode() {
    accepted_ = 0;
    firstTime_ = newestTime_ = 0;
    newest_ = {};
    if (target_ != nullptr) {
        target_->EnterLiveMode();
    }
}

void tRecordingSink::EnterAnalysisMode() {
    if (target_ != nullptr) {
        target_->EnterAnalysisMode();
    }
}

tReadingValues tRecordingSink::AddReadingSet(float t, const tReadingValues& readings) {
    if (LimitReached()) {
        // Past the end of the run: a running scenario sees the last set again
        // rather than readings that are not kept.
        return newest_;
    }
    tReadingValues shown{};
    if (target_ != nullptr) {
        shown = target_->AddReadingSet(t, readings);
    }
    if (accepted_ == 0) {
        firstTime_ = t;
    }
    ++accepted_;
    newestTime_ = t;
    newest_ = shown;
    return shown;
}

void tRecordingSink::EndBatch(float t) {
    if (target_ != nullptr && accepted_ > 0) {
        // The window follows the newest record kept, not one dropped past the limit.
        target_->EndBatch(std::min(t, newestTime_));
    }
}

void tRecordingSink::AddIntervention(float t, const std::string& text) {
    if (target_ != nullptr) {
        target_->AddIntervention(t, text);
    }
}

void tRecordingSink::AddTransition(float t, const std::string& name) {
    if (target_ != nullptr) {
        target_->AddTransition(t, name);
    }
}

}  // namespace vantrel
