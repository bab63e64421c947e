#pragma once

#include <cstddef>
#include <deque>

#include "device/Readings.h"

namespace vantrel {

// The rates of change per minute a running scenario receives beside the
// readings: the change from a record at least kRatePeriod seconds before
// the newest, taken per kRateUnit as if it were exactly kRatePeriod. The
// reference is the latest record far enough back, never the run's first
// one; all rates are 0 until there is such a record. Keeps only the records
// that can still serve, so memory does not grow with the run.
class tRateMeter {
public:
    // At a run's start.
    void Reset();
    // The next record in arrival order, its readings as shown; returns the
    // seven rates.
    tReadingValues Add(float t, const tReadingValues& shown);

private:
    struct tRecord {
        float t;
        tReadingValues shown;
    };
    const tRecord& At(std::size_t index) const { return kept_[index - first_]; }

    std::deque<tRecord> kept_;  // records first_ .. count_ - 1
    std::size_t first_ = 0;
    std::size_t count_ = 0;
    // The record that served last; only moves forward while time does.
    std::size_t reference_ = 0;
};

}  // namespace vantrel
