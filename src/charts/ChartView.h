#pragma once

namespace vantrel {

enum class tChartMode {
    Idle,      // after start-up, before the first run
    Live,      // acquisition running or paused: the window follows the data
    Analysis,  // after a run: zoom, pan, point inspection, marks, export
};

// What the chart model tells the window so it can redraw. Plot data are
// never rebuilt per record: the window appends the points added since it
// last drew, and reloads a chart only when told it was rebuilt.
class iChartView {
public:
    virtual ~iChartView() = default;

    virtual void ModeChanged(tChartMode) {}
    // With `automatic` the axis fits all points; min and max are then the
    // extent of the data (or the last fixed range when there is none).
    virtual void TimeAxisChanged(double /*min*/, double /*max*/, bool /*automatic*/) {}
    virtual void DependAxisChanged(double /*min*/, double /*max*/) {}
    // Every series of both charts was emptied.
    virtual void SeriesCleared() {}
    // Points were added at the end of the series since the last notice.
    virtual void PointsAppended() {}
    // Time-chart points changed other than at the end (a record older than
    // the newest one was put in time order): reload the time chart.
    virtual void TimeSeriesRebuilt() {}
    // The dependence chart was rebuilt (new abscissa); visibility may differ.
    virtual void DependRebuilt() {}
    virtual void SeriesVisibilityChanged(int /*quantity*/) {}
    virtual void ValueListChanged() {}
    // Ticks or enabled states of the curve check list changed.
    virtual void CheckListChanged() {}
    // Marks or marker lines changed: redraw without new data.
    virtual void Repaint() {}
    // A scenario transition was added, or all were cleared (a new run).
    virtual void TransitionsChanged() {}
};

// What the analysis asks of the charts beside the run and its selection:
// whether they show a run for analysis, and the dependence chart's
// abscissa, which an analysis against another quantity moves.
class iAnalysisCharts {
public:
    virtual ~iAnalysisCharts() = default;
    virtual tChartMode Mode() const = 0;
    virtual int Abscissa() const = 0;
    virtual void SetAbscissa(int a) = 0;  // 0..6
};

}  // namespace vantrel
