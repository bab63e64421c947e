#include "station/RunClock.h"

#include <algorithm>
#include <string>

#include "base/Functions.h"
#include "base/LogFile.h"

namespace vantrel {

void tRunClock::Reset() {
    offset_ = 0;
    newest_ = -1;
}

float tRunClock::RunTime(float stationSeconds, double periodSeconds) {
    double t = stationSeconds + offset_;
    if (newest_ >= 0 && t < newest_ - periodSeconds) {
        offset_ += newest_ + periodSeconds - t;
        t = newest_ + periodSeconds;
        logFile->WriteLine("STATION CLOCK WENT BACK: times continue after " +
                           formatFixed(newest_, 3) + " s, offset " + formatFixed(offset_, 3) +
                           " s");
    }
    newest_ = std::max(newest_, t);
    return static_cast<float>(t);
}

}  // namespace vantrel
