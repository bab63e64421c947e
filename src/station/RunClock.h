#pragma once

namespace vantrel {

// The run's time axis from the station's clock. A record a little older than
// the newest is genuinely late and keeps its time; a jump back by more than
// one digitisation period is a restart of the station, after which the
// run's time goes on after its newest point (the offset is logged), so the
// curves stay readable and a record costs what it always costs.
class tRunClock {
public:
    // A new run: no offset, no newest time.
    void Reset();
    // The run time of a record stamped `stationSeconds`, the station
    // producing one record every `periodSeconds`.
    float RunTime(float stationSeconds, double periodSeconds);

private:
    double offset_ = 0;
    double newest_ = -1;  // -1 before the run's first record
};

}  // namespace vantrel
