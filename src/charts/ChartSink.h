#pragma once

#include <algorithm>
#include <array>
#include <string>

#include "device/Readings.h"

namespace vantrel {

// The seven readings as plotted (after relative subtraction), then the seven
// rates of change per minute: what a running scenario receives.
using tExperimentValues = std::array<float, 2 * kQuantityCount>;

inline tExperimentValues experimentValues(const tReadingValues& shown,
                                          const tReadingValues& rates) {
    tExperimentValues values{};
    std::copy(shown.begin(), shown.end(), values.begin());
    std::copy(rates.begin(), rates.end(), values.begin() + kQuantityCount);
    return values;
}

// What acquisition needs from the charts. The chart model implements it;
// tests may record the calls instead.
class iChartSink {
public:
    virtual ~iChartSink() = default;
    virtual void EnterLiveMode() = 0;
    virtual void EnterAnalysisMode() = 0;
    // t in seconds, readings in physical units (V in ml). Returns them as
    // shown: a relative reading as its difference from the run's first.
    virtual tReadingValues AddReadingSet(float t, const tReadingValues& readings) = 0;
    // After all records that arrived together; t = newest accepted time.
    virtual void EndBatch(float t) = 0;
    // The running scenario entered the state `name` at the reading of time t.
    virtual void AddTransition(float /*t*/, const std::string& /*name*/) {}
    // The program switched something off or refused a command at time t.
    virtual void AddIntervention(float /*t*/, const std::string& /*text*/) {}
};

}  // namespace vantrel
