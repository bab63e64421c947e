#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "charts/ChartAxes.h"
#include "charts/ChartView.h"
#include "charts/DependCurves.h"
#include "charts/Series.h"
#include "charts/ValueList.h"
#include "run/Quantities.h"
#include "run/RunData.h"
#include "run/RunEvent.h"
#include "run/Selection.h"

namespace vantrel {

inline constexpr tRgb kOriginLineColour{0, 128, 128};
inline constexpr tRgb kCursorLineColour{128, 128, 0};
inline constexpr int kMarkerLineWidth = 4;

// The view of a run: the curves of the time chart and the dependence chart
// on the 0..100 plotting scale, the axes, the value list, the curve check
// list and point inspection; the window only renders what this decides.
// The run itself (Data()) and what the user chose on it (Selection(): time
// origin, cursor, marks, visible quantities) are kept apart; this updates
// the selection and keeps the curves in step with it. It hears a run's
// events as any listener does: a start enters live mode, the end analysis
// mode. Runs on the user-interface thread.
class tChartModel : public iRunListener, public iAnalysisCharts {
public:
    tChartModel();
    tChartModel(const tChartModel&) = delete;
    tChartModel& operator=(const tChartModel&) = delete;

    // The window to notify (may be null; not owned).
    void SetView(iChartView* view) { view_ = view; }

    // --- acquisition
    // A start takes its relative choice and run info; a mark is the
    // selection's, not the curves'.
    void OnEvent(const tRunEvent& event) override;
    void OnBatchEnd(float t) override { EndBatch(t); }
    void EnterLiveMode();
    void EnterAnalysisMode();
    // t in seconds, readings in physical units (V in ml). Returns them as
    // shown: a relative reading as its difference from the run's first.
    tReadingValues AddReadingSet(float t, const tReadingValues& readings);
    // After all records that arrived together; t = newest accepted time.
    void EndBatch(float t);
    // The running scenario entered the state `name` at the reading of time t,
    // or (`intervention`) the program switched something off or refused a
    // command, `name` saying what.
    void AddTransition(float t, const std::string& name, bool intervention = false);

    // The run shown (cleared at the next start).
    const tRunData& Data() const { return run_; }
    // What the user chose on it; a new run forgets the records chosen.
    const tSelection& Selection() const { return selection_; }
    // The run's date, experiment and scenario, once it has started.
    void SetRunInfo(tRunInfo info) { run_.SetInfo(std::move(info)); }

    tChartMode Mode() const override { return mode_; }

    // --- curves as drawn (index = quantity; throws EListError outside 0..6)
    const tSeries& TimeSeries(int i) const;
    const tSeries& DependSeries(int i) const;
    std::size_t PointCount() const { return run_.Count(); }

    // --- relative readings (check items miLT..miV3): taken by the next run
    bool Relative(int i) const;
    void SetRelative(int i, bool relative);

    // --- axes
    // The time axis as shown; when automatic, min and max are the extent of
    // the points.
    tTimeAxis TimeAxis() const { return shownTimeAxis(timeAxis_, run_); }
    // The window reports a zoom or pan of the time axis (analysis mode).
    void SetTimeAxisRange(double min, double max);
    tAxisRange DependAxis() const { return dependAxis_; }

    // Show-all check item: called after its check mark toggled. Checked,
    // the time axis fits every point (live: once the run passes the first
    // window) and the dependence chart's axis fits its curves, as it does
    // after a run. Switched off after a run, it gives back the stretch the
    // user last looked at (zoomed to, or had before show-all), wherever it
    // was switched.
    void SetShowAll(bool checked);
    bool ShowAll() const { return showAll_; }

    // --- curve check list: item i shows or hides quantity i (its ticks are
    // the selection's visible quantities) on both charts. The only ticked
    // item is disabled so the chart never ends up empty.
    bool CurveChecked(int i) const;
    bool CurveEnabled(int i) const;
    // A click on an item; unticking a disabled item is refused (false).
    bool SetCurveChecked(int i, bool checked);
    // After a language was applied: the check list is told its ticks again.
    void SyncCheckListFromSeries();

    // --- abscissa of the dependence chart
    int Abscissa() const override { return abscissa_; }
    // Rebuilds the dependence chart from the time chart's points.
    void SetAbscissa(int a) override;

    // --- point inspection (analysis mode)
    // The selection's time origin and cursor as the window draws them; -1: none.
    std::int32_t ZeroMarkerIndex() const { return indexOrNone(selection_.Origin()); }
    std::int32_t CursorIndex() const { return indexOrNone(selection_.Cursor()); }
    // A click at time T inside the plot rectangle; `zeroMarkerMode` is the
    // check mark of the time-origin action. Ignored outside analysis mode.
    // The point inspected is the run's nearest to T (Data().NearestPoint),
    // as the hover text names it; it becomes the selection's time origin
    // (zeroMarkerMode) or its cursor.
    void InspectAt(double T, bool zeroMarkerMode);
    // A click at (x, y) on the dependence chart: the record whose point on
    // a drawn dependence curve is nearest, on screen (`xScale` and `yScale`
    // are the chart's pixels per unit), is inspected as a click on the time
    // chart at its time is. None when no curve has a point there.
    std::optional<std::size_t> NearestDependPoint(double x, double y, double xScale,
                                                  double yScale) const {
        return nearestVisiblePoint(depend_, x, y, xScale, yScale);
    }
    void InspectDependAt(double x, double y, double xScale, double yScale, bool zeroMarkerMode);
    tMarkerLines MarkerLines() const;

    // --- marks (the selection's)
    // Toggles the mark of the inspected point; false when there is none.
    bool ToggleMarkAtCursor();
    // The same for point `index` (false outside the run).
    bool ToggleMark(std::size_t index);

    // Runs `work` (a whole run put in at once) without telling the window of
    // each step, then has it redraw everything once.
    void Rebuild(const std::function<void()>& work);

    // --- value list
    const std::vector<tValueRow>& ValueRows() const { return values_.Rows(); }
    // New key texts from a language file; values stay with their rows. The
    // seven quantity rows always exist (found by position).
    void SetValueKeys(const std::vector<std::string>& keys);

    // Bytes held by the run, its marks and the points of both charts (for
    // memory budgets).
    std::size_t StorageBytes() const;

private:
    void ClearSeries();
    void SetTimeAxis(double min, double max, bool automatic);
    void SetDependAxisToAbscissa();
    void FitDependAxis();
    // Every value-list row from record `p`.
    void showRecord(std::size_t p) { values_.ShowRecord(run_, p); }
    static void CheckIndex(int i);
    static std::int32_t indexOrNone(std::optional<std::size_t> index) {
        return index ? static_cast<std::int32_t>(*index) : -1;
    }

    iChartView* view_ = nullptr;
    tChartMode mode_ = tChartMode::Idle;

    std::shared_ptr<tSeries::tValues> timeX_;
    std::shared_ptr<tSeries::tValues> dependX_;
    std::array<tSeries, kQuantityCount> time_;
    std::array<tSeries, kQuantityCount> depend_;

    tRunData run_;
    tSelection selection_;
    std::array<bool, kQuantityCount> relative_{};

    tTimeAxis timeAxis_;
    // After a run: the stretch the user last chose to look at (none: the
    // window of the run's end).
    std::optional<tTimeAxis> userView_;
    tAxisRange dependAxis_;
    bool showAll_ = false;
    int abscissa_ = 0;

    tValueList values_;
};

}  // namespace vantrel
