#pragma once

#include <cstddef>
#include <optional>
#include <span>

#include "charts/Series.h"

namespace vantrel {

class tRunData;
class tSelection;

// The dependence chart's curves: quantity i against the abscissa, on the
// 0..100 scale as the time chart draws it, one point per record.

// Draws them anew from the time chart's curves `time` for `abscissa`: each
// quantity but the abscissa against the abscissa's readings as `run` shows
// them, in record order, visible when `selection` shows it. The curves
// share their X values (see tSeries).
void rebuildDependCurves(std::span<tSeries> depend, std::span<const tSeries> time,
                         const tRunData& run, int abscissa, const tSelection& selection);

// The index of the point of a visible curve of `curves` nearest to (x, y)
// on screen, `xScale` and `yScale` being the chart's pixels per unit; the
// lower index on a tie. None when no visible curve has a point, or when an
// argument is no finite number.
std::optional<std::size_t> nearestVisiblePoint(std::span<const tSeries> curves, double x, double y,
                                               double xScale, double yScale);

}  // namespace vantrel
