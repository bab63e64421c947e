#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "base/Error.h"
#include "base/Locale.h"
#include "charts/ChartModel.h"
#include "charts/ChartTestSupport.h"

namespace vantrel {
namespace {

using test::readings;
using test::valueOf;

class ChartModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        model.SetView(&view);
        model.EnterLiveMode();
    }

    // Records every `step` seconds from `from` to `to` inclusive, temperature = time.
    void Run(double from, double to, double step) {
        for (double t = from; t <= to + 1e-9; t += step) {
            model.AddReadingSet(static_cast<float>(t), readings(static_cast<float>(t)));
        }
    }

    test::tRecordingView view;
    tChartModel model;
};

TEST(QuantityScale, ReadingsGoToPercentOfTheirRangeAndBack) {
    // 25 °C of -40..180 is 65/220 of the range, kept in single precision.
    EXPECT_EQ(toPercent(qLT, 25.0), 29.545454f);
    EXPECT_FLOAT_EQ(fromPercent(qLT, toPercent(qLT, 25.0)), 25.0f);
    EXPECT_FLOAT_EQ(toPercent(qLE, -2.0), 0.0f);
    EXPECT_FLOAT_EQ(toPercent(qLE, 2.0), 100.0f);
    EXPECT_FLOAT_EQ(fromPercent(qLP, 50.0), 7.0f);
    EXPECT_FLOAT_EQ(fromPercent(qV1, 0.0), -200.0f);
}

TEST_F(ChartModelTest, TemperatureIsStoredOnThePercentScaleAndShownInDegrees) {
    model.AddReadingSet(1.0f, readings(25.0f, 1.23456f));
    model.EndBatch(1.0f);

    EXPECT_EQ(model.TimeSeries(qLT).Y(0), static_cast<double>(29.545454f));
    EXPECT_EQ(model.ValueRows()[qLT].value, "25.00");
    EXPECT_EQ(model.ValueRows()[qLP].value, "7.00");
    EXPECT_EQ(model.ValueRows()[qV1].value, "1.2346");  // volumes with four decimals
    EXPECT_EQ(model.ValueRows()[qV2].value, "0.0000");

    setLocaleFacts({',', "dd.MM.yyyy", "H:mm:ss"});
    model.EndBatch(1.0f);
    setLocaleFacts({});
    EXPECT_EQ(model.ValueRows()[qLT].value, "25,00");
}

// A hidden curve's row follows the newest record too: the list never mixes
// records.
TEST_F(ChartModelTest, EveryValueRowShowsTheSameRecord) {
    model.AddReadingSet(1.0f, readings(20.0f));
    model.EndBatch(1.0f);
    model.SetCurveChecked(qLT, false);
    model.AddReadingSet(2.0f, readings(30.0f));
    model.EndBatch(2.0f);
    EXPECT_EQ(model.ValueRows()[qLT].value, "30.00");
}

TEST_F(ChartModelTest, RelativeReadingsCountFromTheFirstReadingOfTheRun) {
    model.SetRelative(qLT, true);
    model.SetRelative(qV1, true);
    model.EnterLiveMode();

    const tReadingValues first = model.AddReadingSet(0.2f, readings(20.0f, 5.0f));
    const tReadingValues second = model.AddReadingSet(0.4f, readings(22.5f, 7.0f));

    EXPECT_EQ(model.Data().RelativeBase(qLT), 20.0);
    EXPECT_EQ(model.Data().RelativeBase(qV1), 5.0);
    // The first point is its own reference: 0 on the chart and for the experiment.
    EXPECT_FLOAT_EQ(first[qLT], 0.0f);
    EXPECT_EQ(model.TimeSeries(qLT).Y(0), toPercent(qLT, 0.0));
    EXPECT_FLOAT_EQ(second[qLT], 2.5f);
    EXPECT_FLOAT_EQ(second[qV1], 2.0f);
    EXPECT_EQ(model.TimeSeries(qLT).Y(1), toPercent(qLT, 2.5));
    // Quantities not chosen stay absolute.
    EXPECT_FLOAT_EQ(second[qLP], 7.0f);
    // The dependence chart's abscissa (temperature) is relative as well.
    EXPECT_DOUBLE_EQ(model.DependSeries(qLP).X(1), 2.5);
    // A run keeps the choice it started with: no curve half absolute.
    model.SetRelative(qLT, false);
    EXPECT_FLOAT_EQ(model.AddReadingSet(0.6f, readings(25.0f))[qLT], 5.0f);
    model.SetRelative(qLT, true);

    // A new run takes a new reference; choices made between runs wait for it.
    model.EnterAnalysisMode();
    model.SetRelative(qLP, true);
    EXPECT_FLOAT_EQ(model.Data().Shown(qLP, 1), 7.0f);
    model.EnterLiveMode();
    EXPECT_EQ(model.Data().RelativeBase(qLT), 0.0);
    const tReadingValues next = model.AddReadingSet(0.2f, readings(30.0f));
    EXPECT_EQ(model.Data().RelativeBase(qLT), 30.0);
    EXPECT_EQ(model.Data().RelativeBase(qLP), 7.0);
    EXPECT_FLOAT_EQ(next[qLT], 0.0f);
    EXPECT_FLOAT_EQ(next[qLP], 0.0f);
}

TEST_F(ChartModelTest, AnOlderRecordIsPutInTimeOrderOnEveryTimeCurve) {
    model.AddReadingSet(1.0f, readings(10.0f));
    model.AddReadingSet(3.0f, readings(30.0f));
    view.calls.clear();
    model.AddReadingSet(2.0f, readings(20.0f));

    for (int i = 0; i < kQuantityCount; ++i) {
        ASSERT_EQ(model.TimeSeries(i).Count(), 3u);
    }
    EXPECT_EQ(model.TimeSeries(qLT).X(1), 2.0);
    EXPECT_EQ(model.TimeSeries(qLT).Y(1), toPercent(qLT, 20.0));
    EXPECT_EQ(model.TimeSeries(qLT).Y(2), toPercent(qLT, 30.0));
    EXPECT_EQ(view.Count("timeRebuilt"), 1);
    // The dependence curve follows the order of arrival.
    EXPECT_DOUBLE_EQ(model.DependSeries(qLP).X(2), 20.0);
}

TEST_F(ChartModelTest, LiveWindowMovesByHalfItsWidthWhenARecordPassesItsEdge) {
    EXPECT_EQ(model.TimeAxis().min, 0.0);
    EXPECT_EQ(model.TimeAxis().max, 30.0);

    Run(0.3, 30.0, 0.3);
    model.EndBatch(30.0f);
    EXPECT_EQ(model.TimeAxis().max, 30.0);

    model.AddReadingSet(30.3f, readings(1.0f));
    model.EndBatch(30.3f);
    EXPECT_EQ(model.TimeAxis().min, 15.0);
    EXPECT_EQ(model.TimeAxis().max, 45.0);
    EXPECT_EQ(view.axisMax, 45.0);

    model.EndBatch(45.0f);
    EXPECT_EQ(model.TimeAxis().max, 45.0);
    model.EndBatch(45.2f);
    EXPECT_EQ(model.TimeAxis().min, 30.0);
    EXPECT_EQ(model.TimeAxis().max, 60.0);
    EXPECT_FALSE(model.TimeAxis().automatic);

    model.EndBatch(0.0f);  // a batch whose only record was at 0 s changes nothing
    EXPECT_EQ(model.TimeAxis().max, 60.0);
}

TEST_F(ChartModelTest, ShowAllFitsEveryPointAndSwitchingItOffPicksAWindow) {
    model.SetShowAll(true);
    EXPECT_TRUE(model.TimeAxis().automatic);
    // Live mode starts with the fixed window even with show-all on, and
    // keeps it until the run passes its edge.
    model.EnterLiveMode();
    EXPECT_FALSE(model.TimeAxis().automatic);
    Run(1.0, 20.0, 1.0);
    model.EndBatch(20.0f);
    EXPECT_FALSE(model.TimeAxis().automatic);
    EXPECT_EQ(model.TimeAxis().max, 30.0);
    Run(21.0, 40.0, 1.0);
    model.EndBatch(40.0f);
    const tTimeAxis all = model.TimeAxis();
    EXPECT_TRUE(all.automatic);
    EXPECT_EQ(all.min, 1.0);
    EXPECT_EQ(all.max, 40.0);
    Run(41.0, 50.0, 1.0);
    model.EndBatch(50.0f);
    EXPECT_EQ(model.TimeAxis().max, 50.0);

    model.SetShowAll(false);
    EXPECT_FALSE(model.TimeAxis().automatic);
    EXPECT_EQ(model.TimeAxis().min, 30.0);
    EXPECT_EQ(model.TimeAxis().max, 45.0);

    model.EnterLiveMode();
    Run(1.0, 20.0, 1.0);
    model.SetShowAll(false);
    EXPECT_EQ(model.TimeAxis().min, 0.0);
    EXPECT_EQ(model.TimeAxis().max, 30.0);

    model.EnterLiveMode();
    model.SetShowAll(false);  // no points at all
    EXPECT_EQ(model.TimeAxis().max, 30.0);
}

// After a run the toggle gives back what the user looked at, whichever chart
// was in front when it was pressed: a 64-s run whose last window is 60..75
// must not reappear in place of a zoom (the next click would inspect the end).
TEST_F(ChartModelTest, AfterARunShowAllOffGivesBackTheUsersStretch) {
    Run(1.0, 64.0, 1.0);
    model.EndBatch(64.0f);
    model.EnterAnalysisMode();
    const auto shown = [&] { return std::pair{model.TimeAxis().min, model.TimeAxis().max}; };
    model.SetTimeAxisRange(10.0, 20.0);  // the user's zoom
    model.SetShowAll(true);
    EXPECT_EQ(shown(), (std::pair{1.0, 64.0}));
    model.SetShowAll(false);
    EXPECT_EQ(shown(), (std::pair{10.0, 20.0}));
    EXPECT_EQ((std::pair{view.axisMin, view.axisMax}), (std::pair{10.0, 20.0}))
        << "the window is told";

    // Zoomed while show-all is on (switched on during the run), then off.
    model.EnterLiveMode();
    model.SetShowAll(true);
    Run(1.0, 64.0, 1.0);
    model.EndBatch(64.0f);
    model.EnterAnalysisMode();
    model.SetTimeAxisRange(5.0, 8.0);
    model.SetShowAll(false);
    EXPECT_EQ(shown(), (std::pair{5.0, 8.0}));
}

TEST_F(ChartModelTest, TheLastTickedCurveCannotBeUnticked) {
    for (int i = 0; i < kQuantityCount - 1; ++i) {
        EXPECT_TRUE(model.SetCurveChecked(i, false));
        EXPECT_FALSE(model.TimeSeries(i).Visible());
    }
    const int last = kQuantityCount - 1;
    EXPECT_FALSE(model.CurveEnabled(last));
    EXPECT_TRUE(model.CurveEnabled(0));
    EXPECT_FALSE(model.SetCurveChecked(last, false));
    EXPECT_TRUE(model.CurveChecked(last));
    EXPECT_TRUE(model.TimeSeries(last).Visible());

    EXPECT_TRUE(model.SetCurveChecked(qLP, true));
    for (int i = 0; i < kQuantityCount; ++i) {
        EXPECT_TRUE(model.CurveEnabled(i)) << i;
    }
    EXPECT_TRUE(model.TimeSeries(qLP).Visible());
    // The dependence chart follows the ticks; the abscissa stays hidden.
    EXPECT_TRUE(model.DependSeries(qLP).Visible());
    EXPECT_FALSE(model.DependSeries(qLC).Visible());
    EXPECT_FALSE(model.DependSeries(qLT).Visible());
    EXPECT_EQ(view.Count("visibility1"), 2);
}

TEST_F(ChartModelTest, PhAsAbscissaRebuildsTheDependenceChartFromTheRun) {
    model.AddReadingSet(1.0f, {20.0f, 3.0f, 10.0f, 0.1f, 1.0f, 0.0f, 0.0f});
    model.AddReadingSet(2.0f, {21.0f, 7.0f, 20.0f, 0.2f, 2.0f, 0.0f, 0.0f});
    model.AddReadingSet(3.0f, {22.0f, 11.0f, 30.0f, 0.3f, 3.0f, 0.0f, 0.0f});
    model.EnterAnalysisMode();
    view.calls.clear();

    model.SetAbscissa(qLP);

    EXPECT_EQ(model.Abscissa(), qLP);
    // After a run the axis fits the pH covered (3..11), not 0..14.
    EXPECT_NEAR(model.DependAxis().min, 3.0 - 0.24, 1e-6);
    EXPECT_NEAR(model.DependAxis().max, 11.0 + 0.24, 1e-6);
    EXPECT_FALSE(model.DependSeries(qLP).Visible());
    EXPECT_EQ(model.DependSeries(qLP).Count(), 0u);
    for (int i : {qLT, qLC, qLE, qV1, qV2, qV3}) {
        const tSeries& curve = model.DependSeries(i);
        EXPECT_TRUE(curve.Visible()) << i;
        ASSERT_EQ(curve.Count(), 3u) << i;
        for (std::size_t k = 0; k < 3; ++k) {
            EXPECT_NEAR(curve.X(k), 3.0 + 4.0 * static_cast<double>(k), 1e-5);
            EXPECT_EQ(curve.Y(k), model.TimeSeries(i).Y(k));
        }
    }
    EXPECT_EQ(view.Count("dependRebuilt"), 1);

    // A new run plots against pH from its first record.
    model.EnterLiveMode();
    EXPECT_FALSE(model.DependSeries(qLP).Visible());
    model.AddReadingSet(1.0f, {25.0f, 9.0f, 10.0f, 0.1f, 1.0f, 0.0f, 0.0f});
    EXPECT_EQ(model.DependSeries(qLT).X(0), 9.0);
    EXPECT_EQ(model.DependSeries(qLP).Count(), 0u);

    model.SetAbscissa(qLT);  // back: temperature hidden, pH shown again
    EXPECT_TRUE(model.DependSeries(qLP).Visible());
    EXPECT_FALSE(model.DependSeries(qLT).Visible());
    EXPECT_NEAR(model.DependSeries(qLP).X(0), 25.0, 1e-4);
    EXPECT_EQ(model.DependAxis().min, -40.0) << "while a run is drawn, the whole range";
}

TEST_F(ChartModelTest, BadQuantityIndexIsAnError) {
    EXPECT_THROW(model.TimeSeries(7), EListError);
    EXPECT_THROW(model.SetAbscissa(-1), EListError);
    EXPECT_THROW(model.SetCurveChecked(9, false), EListError);
}

class InspectionTest : public ChartModelTest {
protected:
    void SetUp() override {
        ChartModelTest::SetUp();
        // Points at 10.0, 10.5, ... 12.0 s with temperature 20, 21, ... 24.
        for (int k = 0; k < 5; ++k) {
            model.AddReadingSet(10.0f + 0.5f * static_cast<float>(k),
                                readings(20.0f + static_cast<float>(k)));
        }
        model.EndBatch(12.0f);
        model.EnterAnalysisMode();
        model.SetTimeAxisRange(0.0, 30.0);
    }
};

TEST_F(InspectionTest, ClickPicksTheNearestPointAndTheEarlierOneWhenHalfway) {
    model.InspectAt(10.25, false);
    EXPECT_EQ(model.CursorIndex(), 0);
    EXPECT_EQ(model.ZeroMarkerIndex(), -1);
    model.InspectAt(10.76, false);
    EXPECT_EQ(model.CursorIndex(), 2);
    model.InspectAt(-5.0, false);
    EXPECT_EQ(model.CursorIndex(), 0);
    model.InspectAt(99.0, false);
    EXPECT_EQ(model.CursorIndex(), 4);

    model.InspectAt(11.25, false);
    EXPECT_EQ(model.CursorIndex(), 2);
    EXPECT_EQ(model.ValueRows()[qLT].value, "22.00");
    EXPECT_EQ(valueOf(model, "t0, с"), "0.000");
    EXPECT_EQ(valueOf(model, "t, с"), "11.000");
    EXPECT_EQ(valueOf(model, "dt, с"), "11.000");

    model.InspectAt(10.5, true);
    EXPECT_EQ(model.ZeroMarkerIndex(), 1);
    EXPECT_EQ(model.CursorIndex(), 2);
    EXPECT_EQ(model.ValueRows()[qLT].value, "21.00");
    EXPECT_EQ(valueOf(model, "t0, с"), "10.500");
    EXPECT_EQ(valueOf(model, "dt, с"), "0.500");
}

TEST_F(InspectionTest, EqualTimesSelectTheFirstOfThem) {
    model.EnterLiveMode();
    model.AddReadingSet(1.0f, readings(1.0f));
    model.AddReadingSet(2.0f, readings(2.0f));
    model.AddReadingSet(2.0f, readings(3.0f));
    model.EnterAnalysisMode();
    model.InspectAt(2.4, false);
    EXPECT_EQ(model.CursorIndex(), 1);
}

TEST_F(InspectionTest, ZeroMarkerWithoutCursorLeavesTheTimeRows) {
    model.InspectAt(11.0, true);
    EXPECT_EQ(model.ZeroMarkerIndex(), 2);
    EXPECT_EQ(valueOf(model, "t0, с"), "");
    EXPECT_EQ(valueOf(model, "t, с"), "");
    EXPECT_EQ(valueOf(model, "dt, с"), "");
    EXPECT_EQ(model.ValueRows()[qLT].value, "22.00");
}

TEST_F(InspectionTest, ClicksOutsideAnalysisOrOnAOnePointRunChangeNoIndex) {
    model.EnterLiveMode();
    model.AddReadingSet(1.0f, readings(1.0f));
    model.AddReadingSet(2.0f, readings(2.0f));
    model.InspectAt(1.0, false);  // live: clicks do nothing
    EXPECT_EQ(model.CursorIndex(), -1);

    model.EnterLiveMode();
    model.AddReadingSet(1.0f, readings(1.0f));
    model.EnterAnalysisMode();
    model.InspectAt(1.0, false);
    model.InspectAt(1.0, true);
    EXPECT_EQ(model.CursorIndex(), -1);
    EXPECT_EQ(model.ZeroMarkerIndex(), -1);
}

// A language that renames the time rows ("t0, s") has them filled under
// their new keys; only a key list that leaves them out gets rows appended.
TEST_F(InspectionTest, RenamedTimeRowsAreFilledAndMissingOnesAppended) {
    std::vector<std::string> keys;
    for (const tValueRow& row : model.ValueRows()) {
        keys.push_back(row.key);
    }
    keys[qLT] = "Temperature, °C";
    keys[7] = "t0, s";
    keys[8] = "t, s";
    keys[9] = "dt, s";
    model.SetValueKeys(keys);
    model.InspectAt(11.0, false);
    ASSERT_EQ(model.ValueRows().size(), 10u);
    EXPECT_EQ(model.ValueRows()[qLT].key, "Temperature, °C");
    EXPECT_EQ(model.ValueRows()[qLT].value, "22.00");
    EXPECT_EQ(valueOf(model, "t0, s"), "0.000");
    EXPECT_EQ(valueOf(model, "t, s"), "11.000");

    model.SetValueKeys({"only one"});  // the quantity rows stay, the time rows go
    ASSERT_EQ(model.ValueRows().size(), static_cast<std::size_t>(kQuantityCount));
    EXPECT_EQ(model.ValueRows()[qLP].key, "pH");
    model.InspectAt(11.0, false);
    EXPECT_EQ(model.ValueRows().size(), static_cast<std::size_t>(kQuantityCount) + 3);
    EXPECT_EQ(valueOf(model, "t, s"), "11.000") << "under the keys last given";
}

TEST_F(InspectionTest, AHiddenCurveStillShowsTheInspectedRecord) {
    model.SetCurveChecked(qLT, false);
    model.InspectAt(11.0, false);
    EXPECT_EQ(model.CursorIndex(), 2);
    EXPECT_EQ(model.ValueRows()[qLT].value, "22.00");
    EXPECT_EQ(model.ValueRows()[qLP].value, "7.00");
}

TEST_F(InspectionTest, MarkerLinesAreDrawnOnlyInsideTheTimeAxis) {
    tMarkerLines lines = model.MarkerLines();
    EXPECT_FALSE(lines.origin.drawn);
    EXPECT_FALSE(lines.cursor.drawn);

    model.InspectAt(10.5, true);
    model.InspectAt(11.5, false);
    lines = model.MarkerLines();
    EXPECT_TRUE(lines.origin.drawn);
    EXPECT_EQ(lines.origin.x, 10.5);
    EXPECT_TRUE(lines.cursor.drawn);
    EXPECT_EQ(lines.cursor.x, 11.5);

    model.SetTimeAxisRange(11.0, 20.0);  // zoomed past the origin
    lines = model.MarkerLines();
    EXPECT_FALSE(lines.origin.drawn);
    EXPECT_TRUE(lines.cursor.drawn);

    model.EnterLiveMode();
    lines = model.MarkerLines();
    EXPECT_FALSE(lines.origin.drawn);
    EXPECT_FALSE(lines.cursor.drawn);
}

TEST_F(InspectionTest, MarkTogglesTheInspectedPoint) {
    EXPECT_FALSE(model.ToggleMarkAtCursor());  // nothing inspected
    model.SetCurveChecked(qLC, false);
    model.InspectAt(11.0, false);
    EXPECT_TRUE(model.ToggleMarkAtCursor());
    EXPECT_EQ(model.Selection().Marks(), std::set<std::size_t>{2});
    model.ToggleMarkAtCursor();
    EXPECT_FALSE(model.Selection().HasMarks());
    model.ToggleMarkAtCursor();
    model.EnterLiveMode();  // a new run starts unmarked
    EXPECT_FALSE(model.Selection().HasMarks());
}

TEST_F(ChartModelTest, TheWindowIsToldWhatChangedWithoutReloadingPerRecord) {
    view.calls.clear();
    model.AddReadingSet(1.0f, readings(1.0f));
    model.AddReadingSet(2.0f, readings(2.0f));
    model.EndBatch(2.0f);
    EXPECT_EQ(view.calls, (std::vector<std::string>{"appended", "appended", "values"}));

    view.calls.clear();
    model.EnterLiveMode();
    EXPECT_EQ(view.Count("cleared"), 1);
    EXPECT_EQ(view.Count("live"), 1);
    EXPECT_EQ(model.PointCount(), 0u);
    EXPECT_EQ(model.DependSeries(qLP).Count(), 0u);
}

}  // namespace
}  // namespace vantrel
