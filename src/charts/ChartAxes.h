#pragma once

#include <optional>

#include "run/Quantities.h"

namespace vantrel {

class tRunData;
class tSelection;

struct tTimeAxis {
    double min = 0.0;
    double max = kTimeWindowWidth;
    bool automatic = false;
};

struct tAxisRange {
    double min = 0.0;
    double max = 0.0;
};

// A vertical marker line on the time chart.
struct tMarkerLine {
    double x = 0.0;
    bool drawn = false;  // index within the run and x within the time axis
};

struct tMarkerLines {
    tMarkerLine origin;  // time origin: teal
    tMarkerLine cursor;  // inspected point: olive
};

// Where a run puts the charts' axes; the chart model decides when.

// The time axis as shown: an automatic one spans the run's records (it
// keeps its own range while there are none).
tTimeAxis shownTimeAxis(const tTimeAxis& axis, const tRunData& run);

// The window at the run's end, as the live chart scrolls it: whole windows
// since 0, the first one while the run is still in it.
tTimeAxis endWindow(const tRunData& run);

// The range of quantity `quantity` over the finished run, with room on
// either side; none for an empty run or when it is no finite number.
std::optional<tAxisRange> coveredRange(const tRunData& run, int quantity);

// The lines of the selection's time origin and cursor within `run`, drawn
// where they fall on `axis`.
tMarkerLines markerLines(const tRunData& run, const tSelection& selection, const tTimeAxis& axis);

}  // namespace vantrel
