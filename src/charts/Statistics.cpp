#include "charts/Statistics.h"

#include <algorithm>
#include <limits>

#include "base/Functions.h"
#include "run/Quantities.h"

namespace vantrel {

tStretchStatistics stretchStatistics(const tRunData& run, const tSelection& selection) {
    tStretchStatistics result;
    const std::optional<tIndexRange> stretch = selection.InspectedStretch(run);
    if (!stretch) {
        return result;
    }
    const std::size_t first = stretch->first;
    const std::size_t last = stretch->last;
    result.from = run.Time(first);
    result.to = run.Time(last);
    result.points = last - first + 1;
    const double minutes = (result.to - result.from) / kRateUnit;
    for (int i = 0; i < kQuantityCount; ++i) {
        if (!selection.Visible(i)) {
            continue;
        }
        tQuantityStatistics q;
        q.quantity = i;
        q.minimum = std::numeric_limits<double>::max();
        q.maximum = std::numeric_limits<double>::lowest();
        double sum = 0;
        for (std::size_t p = first; p <= last; ++p) {
            const double value = run.Shown(i, p);
            q.minimum = std::min(q.minimum, value);
            q.maximum = std::max(q.maximum, value);
            sum += value;
        }
        q.mean = sum / static_cast<double>(result.points);
        q.change = run.Shown(i, last) - run.Shown(i, first);
        q.ratePerMinute = minutes > 0 ? q.change / minutes : 0.0;
        result.quantities.push_back(q);
    }
    return result;
}

std::string statisticsText(const tStretchStatistics& statistics,
                           const std::vector<std::string>& titles) {
    std::string text = joinTexts(titles, "\t") + "\r\n";
    for (const tQuantityStatistics& q : statistics.quantities) {
        const int decimals = quantityInfo[q.quantity].decimals;
        text += quantityNames[q.quantity];
        for (double value : {q.minimum, q.maximum, q.mean, q.change, q.ratePerMinute}) {
            text += '\t';
            text += formatFixed(value, decimals);
        }
        text += "\r\n";
    }
    return text;
}

}  // namespace vantrel
