#pragma once

#include <string>
#include <vector>

#include "run/RunData.h"
#include "run/Selection.h"

namespace vantrel {

// What a stretch of the run did, per quantity, in the units the value list
// shows (a relative reading as its difference).
struct tQuantityStatistics {
    int quantity = 0;
    double minimum = 0;
    double maximum = 0;
    double mean = 0;
    double change = 0;         // last minus first
    double ratePerMinute = 0;  // change over the stretch's duration
};

struct tStretchStatistics {
    double from = 0;  // seconds, the stretch's first and last point
    double to = 0;
    std::size_t points = 0;
    std::vector<tQuantityStatistics> quantities;  // the visible ones, in order
};

// Of the visible quantities, from the time origin (the run's first point
// without one) to the inspected point, whichever comes first, both
// included. Nothing (no quantities) when no point is inspected.
tStretchStatistics stretchStatistics(const tRunData& run, const tSelection& selection);

// As a lab report or a spreadsheet takes it: a line of column titles, then
// one line per quantity, tab-separated, with the value list's decimals and
// the captured decimal separator; `titles` are the six column titles (the
// quantity's, then minimum .. rate).
std::string statisticsText(const tStretchStatistics& statistics,
                           const std::vector<std::string>& titles);

}  // namespace vantrel
