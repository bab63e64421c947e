#pragma once

#include <string>
#include <vector>

namespace vantrel {

class tSeries;

// A curve drawn on the common 0..100 scale, read in its own units.
struct tCurveScale {
    int quantity = -1;  // -1: none
    double low = 0.0;   // its reading at the bottom of the chart
    double high = 0.0;  // and at the top
};

// Real-unit scales for curves drawn together on the common scale, so that a
// printed chart can be read without the window: the two curves whose
// readings cover most of the chart's height get the axes (the left one the
// most), every other visible curve says in the legend what the chart's
// bottom and top are for it.
struct tChartScales {
    tCurveScale left;
    tCurveScale right;
    std::vector<tCurveScale> others;  // in quantity order
};

// `curves`: the visible curves (their quantities set, see tSeries::Quantity),
// in quantity order; the chart shows x in [xLow, xHigh] and the common scale
// from `bottom` to `top`. `preferRight` (-1: none) is the quantity the user
// chose to read on the right; it gets that axis while its curve is shown.
tChartScales chooseScales(const std::vector<const tSeries*>& curves, double xLow, double xHigh,
                          double bottom, double top, int preferRight);

// The legend entry of a curve on a chart with `scales`: its axis ("pH —
// шкала слева"), or its range in its units ("Температура, °C: -40 … 180").
// `name` is the curve's name, `titleWithUnit` its name with its unit.
std::string scaleLegend(const tChartScales& scales, int quantity, const std::string& name,
                        const std::string& titleWithUnit);

// A tick label of an axis whose ticks are `step` apart: as many decimals as
// the step needs, the program's decimal separator.
std::string tickText(double value, double step);

}  // namespace vantrel
