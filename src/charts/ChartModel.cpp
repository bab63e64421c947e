#include "charts/ChartModel.h"

#include <algorithm>
#include <cmath>

#include "base/Error.h"
#include "base/Functions.h"

namespace vantrel {

namespace {

std::string formatReading(int i, double y) {
    return formatFixed(fromPercent(i, y), quantityInfo[i].decimals);
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
    rateIndex_ = 0;
    if (view_) {
        view_->SeriesCleared();
    }
}

void tChartModel::EnterLiveMode() {
    zeroMarkerIndex_ = cursorIndex_ = -1;
    relativeBase_.fill(0.0);
    ClearSeries();
    if (!transitions_.empty()) {
        transitions_.clear();
        if (view_) {
            view_->TransitionsChanged();
        }
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
    mode_ = tChartMode::Analysis;
    if (view_) {
        view_->ModeChanged(mode_);
        view_->Repaint();
    }
}

// --- adding readings

std::size_t tChartModel::AddTimePoint(double t, const std::array<double, kQuantityCount>& y) {
    const tSeries::tValues& x = *timeX_;
    const std::size_t n = time_[0].Count();
    if (n == 0 || !(t < x[n - 1]) || !std::isfinite(t)) {
        for (int i = 0; i < kQuantityCount; ++i) {
            time_[i].Append(t, y[i]);
        }
        return n;
    }
    // A record older than the newest one (the station's clock went back):
    // the time curves stay in ascending time, after points of equal time.
    const auto at = std::upper_bound(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(n), t);
    const auto p = static_cast<std::size_t>(at - x.begin());
    for (int i = 0; i < kQuantityCount; ++i) {
        time_[i].Insert(p, t, y[i]);
    }
    rateIndex_ = 0;
    return p;
}

// The latest index k >= 1 with X[N] - X[k] >= 1 s, N the newest point; 0
// when there is none. Times ascend, so the qualifying indices are 1..k and k
// never moves back within a run: moving it forward from where it stood gives
// the same k as a search down from N - 1, in O(1) amortised even when the
// station's clock stalls and a backward search would cross the whole run.
int tChartModel::RateIndex() {
    const std::size_t n = time_[0].Count();
    if (n < 3) {
        return 0;
    }
    const tSeries::tValues& x = *timeX_;
    const std::size_t newest = n - 1;
    const float xNewest = static_cast<float>(x[newest]);
    const auto farEnough = [&](std::size_t k) {
        return xNewest - static_cast<float>(x[k]) >= kRatePeriod;
    };
    std::size_t k = std::clamp<std::size_t>(rateIndex_, 1, newest - 1);
    if (!farEnough(k)) {
        rateIndex_ = 0;
        return 0;
    }
    while (k + 1 < newest && farEnough(k + 1)) {
        ++k;
    }
    rateIndex_ = k;
    return static_cast<int>(k);
}

tExperimentValues tChartModel::AddReadingSet(float t, const tReadingValues& readings) {
    tReadingValues r = readings;
    for (int i = 0; i < kQuantityCount; ++i) {
        if (!relative_[i]) {
            continue;
        }
        if (time_[i].Empty()) {
            relativeBase_[i] = r[i];
            // The first reading of a relative quantity is its own reference,
            // so it is plotted, shown, handed to the experiment and exported
            // as 0 (its difference from itself), like every later point.
            r[i] = 0.0f;
        } else {
            r[i] = r[i] - static_cast<float>(relativeBase_[i]);
        }
    }

    std::array<double, kQuantityCount> y{};
    for (int i = 0; i < kQuantityCount; ++i) {
        y[i] = toPercent(i, r[i]);
    }
    const std::size_t p = AddTimePoint(t, y);
    const double abscissaValue = r[abscissa_];
    for (int i = 0; i < kQuantityCount; ++i) {
        if (i != abscissa_) {
            depend_[i].Append(abscissaValue, y[i]);
        }
    }

    tExperimentValues values{};
    const int k = RateIndex();
    const std::size_t newest = time_[0].Count() - 1;
    for (int i = 0; i < kQuantityCount; ++i) {
        values[i] = r[i];
        if (k > 0) {
            const float change = fromPercent(i, time_[i].Y(newest)) - fromPercent(i, time_[i].Y(k));
            values[kQuantityCount + i] = change * kRateUnit / kRatePeriod;
        }
    }

    if (view_) {
        if (p + 1 == time_[0].Count()) {
            view_->PointsAppended();
        } else {
            view_->TimeSeriesRebuilt();
            view_->PointsAppended();  // the dependence curves grew at their end
        }
    }
    return values;
}

void tChartModel::EndBatch(float t) {
    if (!(t > 0.0f)) {
        return;
    }
    const double newest = t;
    if (showAll_) {
        // Fitting every point: the extent grows with every batch.
        SetTimeAxis(timeAxis_.min, timeAxis_.max, true);
    } else if (const double M = TimeAxis().max; newest > M) {
        SetTimeAxis(M - kTimeScrollStep, M + kTimeScrollStep, false);
    }
    bool changed = false;
    for (int i = 0; i < kQuantityCount; ++i) {
        const tSeries& series = time_[i];
        if (series.Visible() && !series.Empty()) {
            SetValue(static_cast<std::size_t>(i), formatReading(i, series.Y(series.Count() - 1)));
            changed = true;
        }
    }
    if (changed && view_) {
        view_->ValueListChanged();
    }
}

void tChartModel::AddTransition(float t, const std::string& name) {
    transitions_.push_back({t, name});
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

double tChartModel::RelativeBase(int i) const {
    CheckIndex(i);
    return relativeBase_[i];
}

double tChartModel::Reading(int i, std::size_t p) const {
    CheckIndex(i);
    // The base stays 0 unless the quantity was relative when the run began,
    // so the check item's later state does not matter.
    return fromPercent(i, time_[i].Y(p)) + relativeBase_[i];
}

// --- axes

tTimeAxis tChartModel::TimeAxis() const {
    tTimeAxis axis = timeAxis_;
    const std::size_t n = time_[0].Count();
    if (axis.automatic && n > 0) {
        axis.min = (*timeX_)[0];
        axis.max = (*timeX_)[n - 1];
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
        SetTimeAxis(timeAxis_.min, timeAxis_.max, true);
        return;
    }
    double min = 0.0;
    double max = kTimeWindowWidth;
    const tSeries& first = time_[0];
    if (!first.Empty()) {
        // Whole windows since 0; kept in double so any time is safe.
        const double g = std::trunc(first.X(first.Count() - 1) / kTimeWindowWidth);
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
    for (int j = 0; j < kQuantityCount; ++j) {
        if (time_[j].Visible() != curveChecked_[j]) {
            time_[j].SetVisible(curveChecked_[j]);
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
    if (view_) {
        view_->DependRebuilt();
    }
}

void tChartModel::RebuildDepend() {
    for (int i = 0; i < kQuantityCount; ++i) {
        depend_[i].Clear();
        depend_[i].SetVisible(i != abscissa_);
    }
    const tSeries& abscissa = time_[abscissa_];
    const std::size_t n = abscissa.Count();
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
            const double x = filled < 0 ? fromPercent(abscissa_, abscissa.Y(k)) : (*dependX_)[k];
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

std::optional<std::size_t> tChartModel::NearestPoint(double T) const {
    const std::span<const double> x = time_[0].Xs();
    if (x.empty() || std::isnan(T)) {
        return std::nullopt;
    }
    const auto lower = std::lower_bound(x.begin(), x.end(), T);
    std::size_t k;
    if (lower == x.begin()) {
        k = 0;
    } else if (lower == x.end()) {
        k = x.size() - 1;
    } else {
        const auto hi = static_cast<std::size_t>(lower - x.begin());
        k = std::fabs(x[hi] - T) < std::fabs(x[hi - 1] - T) ? hi : hi - 1;
    }
    // Records of one time (a stalled clock) are one place on the chart.
    return static_cast<std::size_t>(std::lower_bound(x.begin(), x.end(), x[k]) - x.begin());
}

void tChartModel::InspectAt(double T, bool zeroMarkerMode) {
    if (mode_ != tChartMode::Analysis || !std::isfinite(T)) {
        return;
    }
    const int s = FirstVisibleTimeSeries();
    if (s < 0) {
        return;
    }
    const tSeries& series = time_[s];
    const std::size_t n = series.Count();
    bool changed = false;
    if (n >= 2) {
        const std::size_t k = NearestPoint(T).value_or(0);
        (zeroMarkerMode ? zeroMarkerIndex_ : cursorIndex_) = static_cast<std::int32_t>(k);
        for (int i = 0; i < kQuantityCount; ++i) {
            if (time_[i].Visible() && k < time_[i].Count()) {
                SetValue(static_cast<std::size_t>(i), formatReading(i, time_[i].Y(k)));
            }
        }
        changed = true;
        if (view_) {
            view_->Repaint();
        }
    }
    if (cursorIndex_ >= 0 && static_cast<std::size_t>(cursorIndex_) < n) {
        double t0 = 0.0;
        if (zeroMarkerIndex_ >= 0 && static_cast<std::size_t>(zeroMarkerIndex_) < n) {
            t0 = series.X(static_cast<std::size_t>(zeroMarkerIndex_));
        }
        const double t1 = series.X(static_cast<std::size_t>(cursorIndex_));
        SetValueByKey(timeKeys_[0], formatFixed(t0, 3));
        SetValueByKey(timeKeys_[1], formatFixed(t1, 3));
        SetValueByKey(timeKeys_[2], formatFixed(t1 - t0, 3));
        changed = true;
    }
    if (changed && view_) {
        view_->ValueListChanged();
    }
}

tMarkerLines tChartModel::MarkerLines() const {
    tMarkerLines lines;
    const int s = FirstVisibleTimeSeries();
    if (mode_ != tChartMode::Analysis || s < 0) {
        return lines;
    }
    const tSeries& series = time_[s];
    const tTimeAxis axis = TimeAxis();
    const auto place = [&](std::int32_t index, tMarkerLine& line) {
        if (index < 0 || static_cast<std::size_t>(index) >= series.Count()) {
            return;
        }
        line.x = series.X(static_cast<std::size_t>(index));
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
    if (p >= time_[0].Count()) {
        return false;
    }
    for (tSeries& series : time_) {
        series.SetMarked(p, !series.Marked(p));
    }
    if (view_) {
        view_->Repaint();
    }
    return true;
}

bool tChartModel::HasMarks() const {
    return std::any_of(time_.begin(), time_.end(),
                       [](const tSeries& series) { return series.HasMarks(); });
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
    std::size_t bytes = (timeX_->capacity() + dependX_->capacity()) * sizeof(double);
    for (int i = 0; i < kQuantityCount; ++i) {
        bytes += time_[i].StorageBytes(false) + depend_[i].StorageBytes(false);
    }
    return bytes;
}

}  // namespace vantrel
