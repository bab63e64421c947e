#include "charts/ChartScales.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/Functions.h"
#include "base/Texts.h"
#include "charts/Series.h"
#include "run/Quantities.h"

namespace vantrel {

namespace {

constexpr int kMostDecimals = 6;

// How much of the shown height the curve's points within the shown x range
// cover, on the common scale.
double coveredHeight(const tSeries& curve, double xLow, double xHigh, double bottom, double top) {
    double least = std::numeric_limits<double>::infinity();
    double most = -least;
    const auto xs = curve.Xs();
    const auto ys = curve.Ys();
    for (std::size_t p = 0; p < ys.size(); ++p) {
        if (xs[p] >= xLow && xs[p] <= xHigh && std::isfinite(ys[p])) {
            least = std::min(least, ys[p]);
            most = std::max(most, ys[p]);
        }
    }
    return least <= most ? std::max(0.0, std::min(most, top) - std::max(least, bottom)) : 0.0;
}

tCurveScale scaleOf(int quantity, double bottom, double top) {
    return {quantity, fromPercent(quantity, bottom), fromPercent(quantity, top)};
}

// As few decimals as keep `value` within a thousandth of `range`.
std::string rangeText(double value, double range) {
    int decimals = 0;
    while (decimals < kMostDecimals &&
           std::fabs(std::round(value * std::pow(10.0, decimals)) / std::pow(10.0, decimals) -
                     value) > std::fabs(range) * 1e-3) {
        ++decimals;
    }
    return formatFixed(value, decimals);
}

}  // namespace

tChartScales chooseScales(const std::vector<const tSeries*>& curves, double xLow, double xHigh,
                          double bottom, double top, int preferRight) {
    struct tRanked {
        int quantity;
        double covered;
    };
    std::vector<tRanked> ranked;
    for (const tSeries* curve : curves) {
        ranked.push_back({curve->Quantity(), coveredHeight(*curve, xLow, xHigh, bottom, top)});
    }
    // Ties (flat curves) keep the quantities' order.
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const tRanked& a, const tRanked& b) { return a.covered > b.covered; });
    const auto preferred = std::find_if(
        ranked.begin(), ranked.end(), [&](const tRanked& r) { return r.quantity == preferRight; });
    int right = -1;
    if (preferred != ranked.end()) {
        right = preferred->quantity;
        ranked.erase(preferred);
    }
    tChartScales scales;
    if (!ranked.empty()) {
        scales.left = scaleOf(ranked.front().quantity, bottom, top);
        ranked.erase(ranked.begin());
    }
    if (right < 0 && !ranked.empty()) {
        right = ranked.front().quantity;
        ranked.erase(ranked.begin());
    }
    if (right >= 0) {
        scales.right = scaleOf(right, bottom, top);
    }
    std::sort(ranked.begin(), ranked.end(),
              [](const tRanked& a, const tRanked& b) { return a.quantity < b.quantity; });
    for (const tRanked& r : ranked) {
        scales.others.push_back(scaleOf(r.quantity, bottom, top));
    }
    return scales;
}

std::string scaleLegend(const tChartScales& scales, int quantity, const std::string& name,
                        const std::string& titleWithUnit) {
    if (quantity == scales.left.quantity) {
        return formatText(constantText("DK_SCALE_LEFT"), {name});
    }
    if (quantity == scales.right.quantity) {
        return formatText(constantText("DK_SCALE_RIGHT"), {name});
    }
    for (const tCurveScale& s : scales.others) {
        if (s.quantity == quantity) {
            const double range = s.high - s.low;
            return titleWithUnit + ": " + rangeText(s.low, range) + " … " +
                   rangeText(s.high, range);
        }
    }
    return name;
}

std::string tickText(double value, double step) {
    int decimals = 0;
    step = std::fabs(step);
    while (
        decimals < kMostDecimals && step > 0 &&
        std::fabs(step * std::pow(10.0, decimals) - std::round(step * std::pow(10.0, decimals))) >
            1e-6 * step * std::pow(10.0, decimals)) {
        ++decimals;
    }
    // A tick at zero must not read "-0".
    return formatFixed(std::fabs(value) < step * 1e-9 ? 0.0 : value, decimals);
}

}  // namespace vantrel
