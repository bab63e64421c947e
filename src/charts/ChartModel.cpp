#include "charts/ChartModel.h"

#include <cmath>

#include "base/Error.h"

namespace vantrel {

tChartModel::tChartModel()
    : timeX_(std::make_shared<tSeries::tValues>()), dependX_(std::make_shared<tSeries::tValues>()) {
    for (int i = 0; i < kQuantityCount; ++i) {
        time_[i] = tSeries(timeX_);
        time_[i].SetQuantity(i);
        depend_[i] = tSeries(dependX_);
        depend_[i].SetQuantity(i);
        depend_[i].SetVisible(i != abscissa_);
    }
    dependAxis_ = {quantityRanges[abscissa_].low, quantityRanges[abscissa_].high};
}

void tChartModel::CheckIndex(int i) {
    if (i < 0 || i >= kQuantityCount) {
        throw EListError("List index out of bounds (" + std::to_string(i) + ")");
    }
}

const tSeries& tChartModel::TimeSeries(int i) const {
    CheckIndex(i);
    return time_[i];
}

const tSeries& tChartModel::DependSeries(int i) const {
    CheckIndex(i);
    return depend_[i];
}

// --- modes

void tChartModel::ClearSeries() {
    for (int i = 0; i < kQuantityCount; ++i) {
        time_[i].Clear();
        depend_[i].Clear();
    }
    if (view_) {
        view_->SeriesCleared();
    }
}

void tChartModel::OnEvent(const tRunEvent& event) {
    if (const auto* start = event.As<tRunStart>()) {
        relative_ = start->relative;
        EnterLiveMode();
        SetRunInfo({start->started, start->experiment, start->scenario});
    } else if (const auto* set = event.As<tReadingSet>()) {
        AddReadingSet(set->time, set->readings);
    } else if (const auto* transition = event.As<tRunTransition>()) {
        AddTransition(transition->time, transition->trace.to.name, false);
    } else if (const auto* intervention = event.As<tRunIntervention>()) {
        AddTransition(intervention->time, intervention->text, true);
    } else if (event.As<tRunEnded>() != nullptr) {
        EnterAnalysisMode();
    }
}

void tChartModel::EnterLiveMode() {
    selection_.NewRun();
    userView_.reset();
    const bool hadTransitions = !run_.Transitions().empty();
    run_.Start(relative_);
    ClearSeries();
    if (hadTransitions && view_) {
        view_->TransitionsChanged();
    }
    mode_ = tChartMode::Live;
    if (view_) {
        view_->ModeChanged(mode_);
    }
    SetTimeAxis(0.0, kTimeWindowWidth, false);
    SetDependAxisToAbscissa();
    depend_[abscissa_].SetVisible(false);
    if (view_) {
        view_->DependRebuilt();
    }
}

void tChartModel::EnterAnalysisMode() {
    selection_.ClearInspection();
    userView_.reset();
    mode_ = tChartMode::Analysis;
    FitDependAxis();
    if (view_) {
        view_->ModeChanged(mode_);
        view_->Repaint();
    }
}

// --- adding readings

tReadingValues tChartModel::AddReadingSet(float t, const tReadingValues& readings) {
    const std::size_t p = run_.Add(t, readings);
    tReadingValues shown{};
    std::array<double, kQuantityCount> y{};
    for (int i = 0; i < kQuantityCount; ++i) {
        shown[i] = run_.Shown(i, p);
        y[i] = toPercent(i, shown[i]);
    }
    const bool appended = p + 1 == run_.Count();
    if (!appended) {
        selection_.RecordInserted(p);  // marks stay with their records
    }
    for (int i = 0; i < kQuantityCount; ++i) {
        if (appended) {
            time_[i].Append(t, y[i]);
        } else {
            time_[i].Insert(p, t, y[i]);
        }
    }
    // The dependence curves follow the order of arrival.
    const double abscissaValue = shown[abscissa_];
    for (int i = 0; i < kQuantityCount; ++i) {
        if (i != abscissa_) {
            depend_[i].Append(abscissaValue, y[i]);
        }
    }

    if (view_) {
        if (!appended) {
            view_->TimeSeriesRebuilt();
        }
        view_->PointsAppended();
    }
    return shown;
}

void tChartModel::EndBatch(float t) {
    if (!(t > 0.0f)) {
        return;
    }
    const double newest = t;
    const double M = TimeAxis().max;
    if (showAll_ && (timeAxis_.automatic || newest > M)) {
        // Once the run passes the first window, the axis fits every point
        // and grows with each batch.
        SetTimeAxis(timeAxis_.min, timeAxis_.max, true);
    } else if (!timeAxis_.automatic && newest > M) {
        SetTimeAxis(M - kTimeScrollStep, M + kTimeScrollStep, false);
    }
    if (!run_.Empty()) {
        // Every row from the same record, shown curve or not: a list that
        // mixes records tells nothing true.
        showRecord(run_.Count() - 1);
        if (view_) {
            view_->ValueListChanged();
        }
    }
}

void tChartModel::AddTransition(float t, const std::string& name, bool intervention) {
    run_.AddTransition(t, name, intervention);
    if (view_) {
        view_->TransitionsChanged();
    }
}

// --- relative readings

bool tChartModel::Relative(int i) const {
    CheckIndex(i);
    return relative_[i];
}

void tChartModel::SetRelative(int i, bool relative) {
    CheckIndex(i);
    relative_[i] = relative;
}

// --- axes

void tChartModel::SetTimeAxis(double min, double max, bool automatic) {
    // An axis that cannot be set (no finite range) keeps its old range.
    if (!std::isfinite(min) || !std::isfinite(max) || min > max) {
        return;
    }
    timeAxis_ = {min, max, automatic};
    if (view_) {
        const tTimeAxis shown = TimeAxis();
        view_->TimeAxisChanged(shown.min, shown.max, shown.automatic);
    }
}

void tChartModel::SetTimeAxisRange(double min, double max) {
    if (std::isfinite(min) && std::isfinite(max) && min <= max) {
        timeAxis_ = {min, max, false};
        if (mode_ == tChartMode::Analysis) {
            userView_ = timeAxis_;
        }
    }
}

// The abscissa's fixed range suits a run being drawn; a finished one is
// shown over what it covered, or a titration against its few millilitres
// would be a vertical line across -200..200 ml.
void tChartModel::FitDependAxis() {
    const std::optional<tAxisRange> covered = coveredRange(run_, abscissa_);
    if (!covered) {
        return;
    }
    dependAxis_ = *covered;
    if (view_) {
        view_->DependAxisChanged(dependAxis_.min, dependAxis_.max);
    }
}

void tChartModel::SetDependAxisToAbscissa() {
    dependAxis_ = {quantityRanges[abscissa_].low, quantityRanges[abscissa_].high};
    if (view_) {
        view_->DependAxisChanged(dependAxis_.min, dependAxis_.max);
    }
}

void tChartModel::SetShowAll(bool checked) {
    showAll_ = checked;
    if (checked) {
        if (mode_ == tChartMode::Analysis && !timeAxis_.automatic) {
            userView_ = timeAxis_;
        }
        SetTimeAxis(timeAxis_.min, timeAxis_.max, true);
        FitDependAxis();
        return;
    }
    // After a run no record moves the window on: the last window of the run
    // would show its last seconds, and the next click would inspect its end.
    if (mode_ == tChartMode::Analysis && userView_) {
        SetTimeAxis(userView_->min, userView_->max, false);
        return;
    }
    const tTimeAxis end = endWindow(run_);
    SetTimeAxis(end.min, end.max, false);
}

// --- curve check list

bool tChartModel::CurveChecked(int i) const {
    CheckIndex(i);
    return selection_.Visible(i);
}

bool tChartModel::CurveEnabled(int i) const {
    CheckIndex(i);
    return selection_.VisibleQuantities().size() != 1 || !selection_.Visible(i);
}

bool tChartModel::SetCurveChecked(int i, bool checked) {
    CheckIndex(i);
    // The selection refuses to hide its only visible quantity, the item
    // the rule disabled.
    if (!selection_.SetVisible(i, checked)) {
        return false;
    }
    // A curve unticked is gone from both charts, so they never disagree.
    for (int j = 0; j < kQuantityCount; ++j) {
        const bool time = selection_.Visible(j);
        const bool depend = time && j != abscissa_;
        if (time_[j].Visible() != time || depend_[j].Visible() != depend) {
            time_[j].SetVisible(time);
            depend_[j].SetVisible(depend);
            if (view_) {
                view_->SeriesVisibilityChanged(j);
            }
        }
    }
    if (view_) {
        view_->CheckListChanged();
    }
    return true;
}

void tChartModel::SyncCheckListFromSeries() {
    if (view_) {
        view_->CheckListChanged();
    }
}

// --- abscissa

void tChartModel::SetAbscissa(int a) {
    CheckIndex(a);
    abscissa_ = a;
    SetDependAxisToAbscissa();
    rebuildDependCurves(depend_, time_, run_, abscissa_, selection_);
    if (mode_ == tChartMode::Analysis) {
        FitDependAxis();
    }
    if (view_) {
        view_->DependRebuilt();
    }
}

// --- point inspection

void tChartModel::InspectAt(double T, bool zeroMarkerMode) {
    if (mode_ != tChartMode::Analysis || !std::isfinite(T)) {
        return;
    }
    bool changed = false;
    if (run_.Count() >= 2) {
        const std::size_t k = run_.NearestPoint(T).value_or(0);
        if (zeroMarkerMode) {
            selection_.SetOrigin(k);
        } else {
            selection_.SetCursor(k);
        }
        showRecord(k);
        changed = true;
        if (view_) {
            view_->Repaint();
        }
    }
    changed = values_.ShowInspection(run_, selection_) || changed;
    if (changed && view_) {
        view_->ValueListChanged();
    }
}

void tChartModel::InspectDependAt(double x, double y, double xScale, double yScale,
                                  bool zeroMarkerMode) {
    if (mode_ != tChartMode::Analysis) {
        return;
    }
    if (const std::optional<std::size_t> p = NearestDependPoint(x, y, xScale, yScale);
        p && *p < run_.Count()) {
        InspectAt(run_.Time(*p), zeroMarkerMode);
    }
}

tMarkerLines tChartModel::MarkerLines() const {
    return mode_ == tChartMode::Analysis ? markerLines(run_, selection_, TimeAxis())
                                         : tMarkerLines();
}

// --- marks

bool tChartModel::ToggleMarkAtCursor() {
    const std::optional<std::size_t> cursor = selection_.Cursor();
    return cursor && ToggleMark(*cursor);
}

void tChartModel::Rebuild(const std::function<void()>& work) {
    iChartView* view = view_;
    view_ = nullptr;
    try {
        work();
    } catch (...) {
        view_ = view;
        throw;
    }
    view_ = view;
    if (view_) {
        view_->ModeChanged(mode_);
        view_->SeriesCleared();
        view_->DependRebuilt();
        const tTimeAxis axis = TimeAxis();
        view_->TimeAxisChanged(axis.min, axis.max, axis.automatic);
        view_->ValueListChanged();
        view_->TransitionsChanged();
        view_->Repaint();
    }
}

bool tChartModel::ToggleMark(std::size_t p) {
    if (!selection_.ToggleMark(p, run_)) {
        return false;
    }
    if (view_) {
        view_->Repaint();
    }
    return true;
}

// --- value list

void tChartModel::SetValueKeys(const std::vector<std::string>& keys) {
    values_.SetKeys(keys);
    if (view_) {
        view_->ValueListChanged();
    }
}

std::size_t tChartModel::StorageBytes() const {
    std::size_t bytes = run_.StorageBytes() + selection_.StorageBytes() +
                        (timeX_->capacity() + dependX_->capacity()) * sizeof(double);
    for (int i = 0; i < kQuantityCount; ++i) {
        bytes += time_[i].StorageBytes(false) + depend_[i].StorageBytes(false);
    }
    return bytes;
}

}  // namespace vantrel
