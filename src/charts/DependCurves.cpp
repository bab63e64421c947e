#include "charts/DependCurves.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "run/RunData.h"
#include "run/Selection.h"

namespace vantrel {

void rebuildDependCurves(std::span<tSeries> depend, std::span<const tSeries> time,
                         const tRunData& run, int abscissa, const tSelection& selection) {
    for (std::size_t i = 0; i < depend.size(); ++i) {
        const int q = static_cast<int>(i);
        depend[i].Clear();
        depend[i].SetVisible(q != abscissa && selection.Visible(q));
    }
    const std::size_t n = run.Count();
    const tSeries* filled = nullptr;  // the first rebuilt curve; the others reuse its X values
    for (std::size_t i = 0; i < depend.size() && i < time.size(); ++i) {
        if (static_cast<int>(i) == abscissa) {
            continue;
        }
        tSeries& series = depend[i];
        const tSeries& source = time[i];
        const std::size_t count = std::min(n, source.Count());
        series.Reserve(count);
        for (std::size_t k = 0; k < count; ++k) {
            const double x = filled == nullptr ? run.Shown(abscissa, k) : filled->X(k);
            series.Append(x, source.Y(k));
        }
        if (filled == nullptr) {
            filled = &series;
        }
    }
}

std::optional<std::size_t> nearestVisiblePoint(std::span<const tSeries> curves, double x, double y,
                                               double xScale, double yScale) {
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(xScale) ||
        !std::isfinite(yScale)) {
        return std::nullopt;
    }
    std::optional<std::size_t> nearest;
    double best = std::numeric_limits<double>::infinity();
    for (const tSeries& curve : curves) {
        if (!curve.Visible()) {
            continue;
        }
        for (std::size_t p = 0; p < curve.Count(); ++p) {
            const double dx = (curve.X(p) - x) * xScale;
            const double dy = (curve.Y(p) - y) * yScale;
            const double d = dx * dx + dy * dy;
            if (d < best || (d == best && nearest && p < *nearest)) {
                best = d;
                nearest = p;
            }
        }
    }
    return nearest;
}

}  // namespace vantrel
