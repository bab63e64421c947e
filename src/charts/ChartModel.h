#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "charts/ChartView.h"
#include "charts/Series.h"
#include "run/Quantities.h"
#include "run/RunData.h"
#include "run/RunEvent.h"

namespace vantrel {

struct tTimeAxis {
    double min = 0.0;
    double max = kTimeWindowWidth;
    bool automatic = false;
};

struct tAxisRange {
    double min = 0.0;
    double max = 0.0;
};

struct tValueRow {
    std::string key;
    std::string value;
};

// A vertical marker line on the time chart.
struct tMarkerLine {
    double x = 0.0;
    bool drawn = false;  // index within the run and x within the time axis
};

struct tMarkerLines {
    tMarkerLine origin;  // time origin: teal
    tMarkerLine cursor;  // inspected point: olive
};

inline constexpr tRgb kOriginLineColour{0, 128, 128};
inline constexpr tRgb kCursorLineColour{128, 128, 0};
inline constexpr int kMarkerLineWidth = 4;

// Keys of the value-list rows that point inspection fills. They are looked
// up by text, so a language file that renames them gets them appended.
inline constexpr std::string_view kOriginTimeKey = "t0, с";
inline constexpr std::string_view kCursorTimeKey = "t, с";
inline constexpr std::string_view kDeltaTimeKey = "dt, с";

// The view of a run: the curves of the time chart and the dependence chart
// on the 0..100 plotting scale, the axes, the value list, the curve check
// list and point inspection; the window only renders what this decides.
// The run itself is kept apart (Data()). Runs on the user-interface thread.
// It hears a run's events as any listener does: a start enters live mode,
// the end analysis mode.
class tChartModel : public iRunListener {
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
    // The running scenario entered the state `name` at the reading of time t.
    void AddTransition(float t, const std::string& name);
    // The program switched something off or refused a command at time t.
    void AddIntervention(float t, const std::string& text);

    // The run shown (cleared at the next start).
    const tRunData& Data() const { return run_; }
    // The run's date, experiment and scenario, once it has started.
    void SetRunInfo(tRunInfo info) { run_.SetInfo(std::move(info)); }

    tChartMode Mode() const { return mode_; }

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
    tTimeAxis TimeAxis() const;
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

    // --- curve check list: item i shows or hides time curve i. The only
    // ticked item is disabled so the chart never ends up empty.
    bool CurveChecked(int i) const;
    bool CurveEnabled(int i) const;
    // A click on an item; unticking a disabled item is refused (false).
    bool SetCurveChecked(int i, bool checked);
    // After a language was applied: ticks follow the curves' visibility.
    void SyncCheckListFromSeries();

    // --- abscissa of the dependence chart
    int Abscissa() const { return abscissa_; }
    // Rebuilds the dependence chart from the time chart's points.
    void SetAbscissa(int a);

    // --- point inspection (analysis mode)
    std::int32_t ZeroMarkerIndex() const { return zeroMarkerIndex_; }
    std::int32_t CursorIndex() const { return cursorIndex_; }
    // A click at time T inside the plot rectangle; `zeroMarkerMode` is the
    // check mark of the time-origin action. Ignored outside analysis mode.
    // The point inspected is the run's nearest to T (Data().NearestPoint),
    // as the hover text names it.
    void InspectAt(double T, bool zeroMarkerMode);
    // A click at (x, y) on the dependence chart: the record whose point on
    // a drawn dependence curve is nearest, on screen (`xScale` and `yScale`
    // are the chart's pixels per unit), is inspected as a click on the time
    // chart at its time is. None when no curve has a point there.
    std::optional<std::size_t> NearestDependPoint(double x, double y, double xScale,
                                                  double yScale) const;
    void InspectDependAt(double x, double y, double xScale, double yScale, bool zeroMarkerMode);
    tMarkerLines MarkerLines() const;

    // --- marks
    // Toggles the mark of the inspected point; false when there is none.
    bool ToggleMarkAtCursor();
    // The same for point `index` (false outside the run).
    bool ToggleMark(std::size_t index);

    // Runs `work` (a whole run put in at once) without telling the window of
    // each step, then has it redraw everything once.
    void Rebuild(const std::function<void()>& work);

    // --- value list
    const std::vector<tValueRow>& ValueRows() const { return valueRows_; }
    // New key texts from a language file; values stay with their rows. The
    // seven quantity rows always exist (found by position).
    void SetValueKeys(const std::vector<std::string>& keys);

    // Bytes held by the run and the points of both charts (for memory budgets).
    std::size_t StorageBytes() const;

private:
    void ClearSeries();
    void SetTimeAxis(double min, double max, bool automatic);
    void SetDependAxisToAbscissa();
    void FitDependAxis();
    // Every value-list row from record `p`.
    void showRecord(std::size_t p);
    void RebuildDepend();
    void SetValue(std::size_t row, std::string value);
    void SetValueByKey(std::string_view key, std::string value);
    void ApplyCheckListRule();
    int FirstVisibleTimeSeries() const;
    static void CheckIndex(int i);

    iChartView* view_ = nullptr;
    tChartMode mode_ = tChartMode::Idle;

    std::shared_ptr<tSeries::tValues> timeX_;
    std::shared_ptr<tSeries::tValues> dependX_;
    std::array<tSeries, kQuantityCount> time_;
    std::array<tSeries, kQuantityCount> depend_;

    tRunData run_;
    std::array<bool, kQuantityCount> relative_{};

    tTimeAxis timeAxis_;
    // After a run: the stretch the user last chose to look at (none: the
    // window of the run's end).
    std::optional<tTimeAxis> userView_;
    tAxisRange dependAxis_;
    bool showAll_ = false;
    int abscissa_ = 0;

    std::array<bool, kQuantityCount> curveChecked_{};
    std::array<bool, kQuantityCount> curveEnabled_{};

    std::int32_t zeroMarkerIndex_ = -1;
    std::int32_t cursorIndex_ = -1;

    std::vector<tValueRow> valueRows_;
    // Keys of the rows that point inspection fills (t0, t and dt).
    std::array<std::string, 3> timeKeys_{std::string(kOriginTimeKey), std::string(kCursorTimeKey),
                                         std::string(kDeltaTimeKey)};
};

}  // namespace vantrel
