#include "cli/RecordingSink.h"

#include <algorithm>

namespace vantrel {

tRecordingSink::tRecordingSink(std::optional<std::int64_t> limit) : limit_(limit) {}

void tRecordingSink::OnEvent(const tRunEvent& event) {
    if (const auto* start = event.As<tRunStart>()) {
        accepted_ = 0;
        firstTime_ = newestTime_ = 0;
        newest_ = {};
        bases_.Start(start->relative);
    } else if (const auto* set = event.As<tReadingSet>()) {
        if (LimitReached()) {
            return;  // past the end of the run
        }
        if (accepted_ == 0) {
            firstTime_ = set->time;
        }
        ++accepted_;
        newestTime_ = set->time;
        newest_ = bases_.Shown(set->readings);
    }
    if (target_ != nullptr) {
        target_->OnEvent(event);
    }
}

void tRecordingSink::OnBatchEnd(float t) {
    if (target_ != nullptr && accepted_ > 0) {
        // The window follows the newest record kept, not one dropped past the limit.
        target_->OnBatchEnd(std::min(t, newestTime_));
    }
}

}  // namespace vantrel
