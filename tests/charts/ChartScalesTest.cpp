// Real-unit scales for a chart printed with several quantities on the
// common 0..100 scale.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "base/Locale.h"
#include "charts/ChartScales.h"
#include "charts/Series.h"
#include "run/Quantities.h"

namespace vantrel {
namespace {

// A curve of `quantity` through the points (x, y on the common scale).
tSeries curve(int quantity, const std::vector<std::pair<double, double>>& points) {
    tSeries s;
    s.SetQuantity(quantity);
    for (const auto& [x, y] : points) {
        s.Append(x, y);
    }
    return s;
}

std::vector<int> quantitiesOf(const std::vector<tCurveScale>& scales) {
    std::vector<int> q;
    for (const tCurveScale& s : scales) {
        q.push_back(s.quantity);
    }
    return q;
}

// The curves that cover most of the height shown get the axes; a flat one
// and one that only moves outside the stretch shown (V1) go to the legend.
TEST(ChartScales, TheCurvesThatMoveMostGetTheAxes) {
    const std::array curves = {
        curve(qLT, {{0, 30}, {10, 30.5}, {20, 30}}),  // nearly flat
        curve(qLP, {{0, 10}, {10, 50}, {20, 90}}),    // the titration's jump
        curve(qLE, {{0, 40}, {10, 60}, {20, 55}}),
        curve(qV1, {{0, 50}, {10, 51}, {30, 99}}),  // moves only after 20 s
    };
    const std::vector<const tSeries*> shown = {&curves[0], &curves[1], &curves[2], &curves[3]};
    struct tCase {
        double bottom, top;
        int preferRight;
        int left, right;
        std::vector<int> others;
    };
    const tCase cases[] = {
        {0, 100, -1, qLP, qLE, {qLT, qV1}},
        {0, 100, qLT, qLP, qLT, {qLE, qV1}},  // the user's right-hand scale
        {0, 100, qV3, qLP, qLE, {qLT, qV1}},  // a curve not shown is no choice
    };
    for (const tCase& c : cases) {
        SCOPED_TRACE(c.bottom);
        SCOPED_TRACE(c.preferRight);
        const tChartScales scales = chooseScales(shown, 0, 20, c.bottom, c.top, c.preferRight);
        EXPECT_EQ(scales.left.quantity, c.left);
        EXPECT_EQ(scales.right.quantity, c.right);
        EXPECT_EQ(quantitiesOf(scales.others), c.others);
    }
    // A scale runs from the chart's bottom to its top in the quantity's units.
    const tChartScales zoomed = chooseScales(shown, 0, 20, 25, 75, -1);
    EXPECT_FLOAT_EQ(float(zoomed.left.low), 3.5f);
    EXPECT_FLOAT_EQ(float(zoomed.left.high), 10.5f);

    const tChartScales one = chooseScales({&curves[0]}, 0, 20, 0, 100, -1);
    EXPECT_EQ(one.left.quantity, qLT);
    EXPECT_EQ(one.right.quantity, -1);
    EXPECT_TRUE(one.others.empty());
}

TEST(ChartScales, LegendSaysWhereEachCurveIsRead) {
    tChartScales scales;
    scales.left = {qLP, 0, 14};
    scales.right = {qLE, -2, 2};
    scales.others = {{qLT, -40, 180}, {qV1, -12.5, 37.5}, {qLC, 81.123456, 93.5}};
    EXPECT_EQ(scaleLegend(scales, qLP, "pH", "pH"), "pH — шкала слева");
    EXPECT_EQ(scaleLegend(scales, qLE, "Редокс-потенциал", "Редокс-потенциал, В"),
              "Редокс-потенциал — шкала справа");
    EXPECT_EQ(scaleLegend(scales, qLT, "Температура", "Температура, °C"),
              "Температура, °C: -40 … 180");
    EXPECT_EQ(scaleLegend(scales, qV1, "Реагент 1", "V1, мл"), "V1, мл: -12.5 … 37.5");
    // A zoom's odd ends keep the digits that matter at its size.
    EXPECT_EQ(scaleLegend(scales, qLC, "Электропроводность", "LC"), "LC: 81.12 … 93.5");
    EXPECT_EQ(scaleLegend(scales, qV3, "Реагент 3", "V3, мл"), "Реагент 3") << "not drawn";
}

TEST(ChartScales, TickLabelsTakeTheDecimalsOfTheirStep) {
    const struct {
        double value, step;
        const char* text;
    } cases[] = {
        {2.5, 2.5, "2.5"},    {10, 2.5, "10.0"},    {150, 50, "150"}, {0.6, 0.2, "0.6"},
        {0.25, 0.05, "0.25"}, {-1e-17, 0.5, "0.0"}, {-40, 20, "-40"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tickText(c.value, c.step), c.text) << c.value << " by " << c.step;
    }
    setLocaleFacts({',', "dd.MM.yyyy", "H:mm:ss"});
    EXPECT_EQ(tickText(7.5, 2.5), "7,5");
    setLocaleFacts({});
}

}  // namespace
}  // namespace vantrel
