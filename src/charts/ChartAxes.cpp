#include "charts/ChartAxes.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "run/RunData.h"
#include "run/Selection.h"

namespace vantrel {

namespace {

// Room left on either side of a dependence curve fitted to the chart.
constexpr double kDependMargin = 0.03;

}  // namespace

tTimeAxis shownTimeAxis(const tTimeAxis& axis, const tRunData& run) {
    tTimeAxis shown = axis;
    if (shown.automatic && !run.Empty()) {
        shown.min = run.Time(0);
        shown.max = run.Time(run.Count() - 1);
    }
    return shown;
}

tTimeAxis endWindow(const tRunData& run) {
    tTimeAxis window;
    if (!run.Empty()) {
        // Whole windows since 0; kept in double so any time is safe.
        const double g = std::trunc(run.Time(run.Count() - 1) / kTimeWindowWidth);
        if (g > 0.0) {
            window.min = kTimeWindowWidth * g;
            window.max = window.min + kTimeScrollStep;
        }
    }
    return window;
}

std::optional<tAxisRange> coveredRange(const tRunData& run, int quantity) {
    if (run.Empty()) {
        return std::nullopt;
    }
    double low = run.Shown(quantity, 0);
    double high = low;
    for (std::size_t k = 1; k < run.Count(); ++k) {
        const double x = run.Shown(quantity, k);
        low = std::min(low, x);
        high = std::max(high, x);
    }
    if (!std::isfinite(low) || !std::isfinite(high)) {
        return std::nullopt;
    }
    const double span = high - low;
    const double margin = span > 0 ? span * kDependMargin : std::max(std::abs(low) * 0.05, 0.5);
    return tAxisRange{low - margin, high + margin};
}

tMarkerLines markerLines(const tRunData& run, const tSelection& selection, const tTimeAxis& axis) {
    tMarkerLines lines;
    const auto place = [&](std::optional<std::size_t> p, tMarkerLine& line) {
        if (p) {
            line.x = run.Time(*p);
            line.drawn = line.x >= axis.min && line.x <= axis.max;
        }
    };
    place(selection.OriginIn(run), lines.origin);
    place(selection.CursorIn(run), lines.cursor);
    return lines;
}

}  // namespace vantrel
