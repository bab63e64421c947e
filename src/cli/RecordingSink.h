#pragma once

#include <cstdint>
#include <optional>

#include "run/RelativeBases.h"
#include "run/RunEvent.h"

namespace vantrel {

// Stands between the run and the chart model: counts the records the run
// accepted, keeps the newest of them for the progress line and, with a
// limit, lets no record past it. A stop decodes what the station had still
// queued, so without the limit here a run asked for N records would keep
// N plus whatever arrived during the stop.
class tRecordingSink : public iRunListener {
public:
    // `limit`: the most records one run keeps (none: no limit).
    explicit tRecordingSink(std::optional<std::int64_t> limit = std::nullopt);

    // Where the run's events go (not owned; set before the first run).
    void SetTarget(iRunListener* target) { target_ = target; }

    std::int64_t Accepted() const { return accepted_; }
    bool LimitReached() const { return limit_.has_value() && accepted_ >= *limit_; }
    // The newest accepted record: station time in seconds and the readings
    // as plotted (relative ones as differences). Valid when Accepted() > 0.
    float NewestTime() const { return newestTime_; }
    const tReadingValues& NewestReadings() const { return newest_; }
    // Station time of the run's first record.
    float FirstTime() const { return firstTime_; }

    void OnEvent(const tRunEvent& event) override;
    void OnBatchEnd(float t) override;

private:
    iRunListener* target_ = nullptr;
    std::optional<std::int64_t> limit_;
    std::int64_t accepted_ = 0;
    float firstTime_ = 0;
    float newestTime_ = 0;
    tReadingValues newest_{};
    tRelativeBases bases_;
};

}  // namespace vantrel
