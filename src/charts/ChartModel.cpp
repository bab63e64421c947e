#include "charts/ChartModel.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/Error.h"
#include "base/Functions.h"

namespace vantrel {

namespace {

// Room left on either side of a dependence curve fitted to the chart.
constexpr double kDependMargin = 0.03;

std::string formatReading(const tRunData& run, int i, std::size_t p) {
    return formatFixed(run.Shown(i, p), quantityInfo[i].decimals);
}

}  // namespace

tChartModel::tChartModel()
    : timeX_(std::make_shared<tSeries::tValues>()), dependX_(std::make_shared<tSeries::tValues>()) {
    for (int i = 0; i < kQuantityCount; ++i) {
        time_[i] = tSeries(timeX_);
        time_[i].SetQuantity(i);
        depend_[i] = tSeries(dependX_);
        depend_[i].SetQuantity(i);
        depend_[i].SetVisible(i != abscissa_);
        curveChecked_[i] = true;
        curveEnabled_[i] = true;
        valueRows_.push_back({std::string(quantityInfo[i].valueKey), ""});
    }
    for (std::string_view key : {kOriginTimeKey, kCursorTimeKey, kDeltaTimeKey}) {
        valueRows_.push_back({std::string(key), ""});
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
        AddTransition(transition->time, transition->trace.to.name);
    } else if (const auto* intervention = event.As<tRunIntervention>()) {
        AddIntervention(intervention->time, intervention->text);
    } else if (event.As<tRunEnded>() != nullptr) {
        EnterAnalysisMode();
    }
}

void tChartModel::EnterLiveMode() {
    zeroMarkerIndex_ = cursorIndex_ = -1;
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
    zeroMarkerIndex_ = cursorIndex_ = -1;
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

void tChartModel::showRecord(std::size_t p) {
    for (int i = 0; i < kQuantityCount; ++i) {
        SetValue(static_cast<std::size_t>(i), formatReading(run_, i, p));
    }
}

void tChartModel::AddTransition(float t, const std::string& name) {
    run_.AddTransition(t, name);
    if (view_) {
        view_->TransitionsChanged();
    }
}

void tChartModel::AddIntervention(float t, const std::string& text) {
    run_.AddTransition(t, text, true);
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

tTimeAxis tChartModel::TimeAxis() const {
    tTimeAxis axis = timeAxis_;
    if (axis.automatic && !run_.Empty()) {
        axis.min = run_.Time(0);
        axis.max = run_.Time(run_.Count() - 1);
    }
    return axis;
}

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
    if (run_.Empty()) {
        return;
    }
    double low = run_.Shown(abscissa_, 0);
    double high = low;
    for (std::size_t k = 1; k < run_.Count(); ++k) {
        const double x = run_.Shown(abscissa_, k);
        low = std::min(low, x);
        high = std::max(high, x);
    }
    if (!std::isfinite(low) || !std::isfinite(high)) {
        return;
    }
    const double span = high - low;
    const double margin = span > 0 ? span * kDependMargin : std::max(std::abs(low) * 0.05, 0.5);
    dependAxis_ = {low - margin, high + margin};
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
    double min = 0.0;
    double max = kTimeWindowWidth;
    if (!run_.Empty()) {
        // Whole windows since 0; kept in double so any time is safe.
        const double g = std::trunc(run_.Time(run_.Count() - 1) / kTimeWindowWidth);
        if (g > 0.0) {
            min = kTimeWindowWidth * g;
            max = min + kTimeScrollStep;
        }
    }
    SetTimeAxis(min, max, false);
}

// --- curve check list

bool tChartModel::CurveChecked(int i) const {
    CheckIndex(i);
    return curveChecked_[i];
}

bool tChartModel::CurveEnabled(int i) const {
    CheckIndex(i);
    return curveEnabled_[i];
}

void tChartModel::ApplyCheckListRule() {
    const auto ticked = std::count(curveChecked_.begin(), curveChecked_.end(), true);
    for (int i = 0; i < kQuantityCount; ++i) {
        curveEnabled_[i] = ticked != 1 || !curveChecked_[i];
    }
}

bool tChartModel::SetCurveChecked(int i, bool checked) {
    CheckIndex(i);
    if (!checked && curveChecked_[i] && !curveEnabled_[i]) {
        return false;
    }
    curveChecked_[i] = checked;
    ApplyCheckListRule();
    // A curve unticked is gone from both charts, so they never disagree.
    for (int j = 0; j < kQuantityCount; ++j) {
        const bool depend = curveChecked_[j] && j != abscissa_;
        if (time_[j].Visible() != curveChecked_[j] || depend_[j].Visible() != depend) {
            time_[j].SetVisible(curveChecked_[j]);
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
    for (int i = 0; i < kQuantityCount; ++i) {
        curveChecked_[i] = time_[i].Visible();
    }
    ApplyCheckListRule();
    if (view_) {
        view_->CheckListChanged();
    }
}

// --- abscissa

void tChartModel::SetAbscissa(int a) {
    CheckIndex(a);
    abscissa_ = a;
    SetDependAxisToAbscissa();
    RebuildDepend();
    if (mode_ == tChartMode::Analysis) {
        FitDependAxis();
    }
    if (view_) {
        view_->DependRebuilt();
    }
}

void tChartModel::RebuildDepend() {
    for (int i = 0; i < kQuantityCount; ++i) {
        depend_[i].Clear();
        depend_[i].SetVisible(i != abscissa_ && curveChecked_[i]);
    }
    const std::size_t n = run_.Count();
    int filled = -1;  // the first rebuilt curve; the others reuse its X values
    for (int i = 0; i < kQuantityCount; ++i) {
        if (i == abscissa_) {
            continue;
        }
        tSeries& series = depend_[i];
        const tSeries& source = time_[i];
        const std::size_t count = std::min(n, source.Count());
        series.Reserve(count);
        for (std::size_t k = 0; k < count; ++k) {
            const double x = filled < 0 ? run_.Shown(abscissa_, k) : (*dependX_)[k];
            series.Append(x, source.Y(k));
        }
        if (filled < 0) {
            filled = i;
        }
    }
}

// --- point inspection

int tChartModel::FirstVisibleTimeSeries() const {
    for (int i = 0; i < kQuantityCount; ++i) {
        if (time_[i].Visible()) {
            return i;
        }
    }
    return -1;
}

void tChartModel::InspectAt(double T, bool zeroMarkerMode) {
    if (mode_ != tChartMode::Analysis || !std::isfinite(T)) {
        return;
    }
    const int s = FirstVisibleTimeSeries();
    if (s < 0) {
        return;
    }
    const std::size_t n = run_.Count();
    bool changed = false;
    if (n >= 2) {
        const std::size_t k = run_.NearestPoint(T).value_or(0);
        (zeroMarkerMode ? zeroMarkerIndex_ : cursorIndex_) = static_cast<std::int32_t>(k);
        showRecord(k);
        changed = true;
        if (view_) {
            view_->Repaint();
        }
    }
    if (cursorIndex_ >= 0 && static_cast<std::size_t>(cursorIndex_) < n) {
        double t0 = 0.0;
        if (zeroMarkerIndex_ >= 0 && static_cast<std::size_t>(zeroMarkerIndex_) < n) {
            t0 = run_.Time(static_cast<std::size_t>(zeroMarkerIndex_));
        }
        const double t1 = run_.Time(static_cast<std::size_t>(cursorIndex_));
        SetValueByKey(timeKeys_[0], formatFixed(t0, 3));
        SetValueByKey(timeKeys_[1], formatFixed(t1, 3));
        SetValueByKey(timeKeys_[2], formatFixed(t1 - t0, 3));
        changed = true;
    }
    if (changed && view_) {
        view_->ValueListChanged();
    }
}

std::optional<std::size_t> tChartModel::NearestDependPoint(double x, double y, double xScale,
                                                           double yScale) const {
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(xScale) ||
        !std::isfinite(yScale)) {
        return std::nullopt;
    }
    std::optional<std::size_t> nearest;
    double best = std::numeric_limits<double>::infinity();
    for (const tSeries& curve : depend_) {
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
    tMarkerLines lines;
    const int s = FirstVisibleTimeSeries();
    if (mode_ != tChartMode::Analysis || s < 0) {
        return lines;
    }
    const tTimeAxis axis = TimeAxis();
    const auto place = [&](std::int32_t index, tMarkerLine& line) {
        if (index < 0 || static_cast<std::size_t>(index) >= run_.Count()) {
            return;
        }
        line.x = run_.Time(static_cast<std::size_t>(index));
        line.drawn = line.x >= axis.min && line.x <= axis.max;
    };
    place(zeroMarkerIndex_, lines.origin);
    place(cursorIndex_, lines.cursor);
    return lines;
}

// --- marks

bool tChartModel::ToggleMarkAtCursor() {
    return cursorIndex_ >= 0 && ToggleMark(static_cast<std::size_t>(cursorIndex_));
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
    if (!run_.ToggleMark(p)) {
        return false;
    }
    if (view_) {
        view_->Repaint();
    }
    return true;
}

// --- value list

void tChartModel::SetValue(std::size_t row, std::string value) {
    if (row < valueRows_.size()) {
        valueRows_[row].value = std::move(value);
    }
}

void tChartModel::SetValueByKey(std::string_view key, std::string value) {
    for (tValueRow& row : valueRows_) {
        if (row.key == key) {
            row.value = std::move(value);
            return;
        }
    }
    valueRows_.push_back({std::string(key), std::move(value)});
}

void tChartModel::SetValueKeys(const std::vector<std::string>& keys) {
    std::vector<tValueRow> rows;
    rows.reserve(std::max<std::size_t>(keys.size(), kQuantityCount));
    for (std::size_t j = 0; j < keys.size(); ++j) {
        rows.push_back({keys[j], j < valueRows_.size() ? valueRows_[j].value : ""});
    }
    // A full list renames the three time rows too; they are then found by
    // their new keys instead of gaining Russian twins.
    if (keys.size() >= kQuantityCount + timeKeys_.size()) {
        for (std::size_t k = 0; k < timeKeys_.size(); ++k) {
            timeKeys_[k] = keys[kQuantityCount + k];
        }
    }
    // Quantity rows are found by position, so a short key list keeps them.
    for (std::size_t j = rows.size(); j < kQuantityCount; ++j) {
        rows.push_back({std::string(quantityInfo[j].valueKey),
                        j < valueRows_.size() ? valueRows_[j].value : ""});
    }
    valueRows_ = std::move(rows);
    if (view_) {
        view_->ValueListChanged();
    }
}

std::size_t tChartModel::StorageBytes() const {
    std::size_t bytes =
        run_.StorageBytes() + (timeX_->capacity() + dependX_->capacity()) * sizeof(double);
    for (int i = 0; i < kQuantityCount; ++i) {
        bytes += time_[i].StorageBytes(false) + depend_[i].StorageBytes(false);
    }
    return bytes;
}

}  // namespace vantrel
