#include "run/RunData.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vantrel {

void tRunData::Start(const std::array<bool, kQuantityCount>& relative) {
    time_.clear();
    for (std::vector<float>& values : measured_) {
        values.clear();
    }
    transitions_.clear();
    relative_ = relative;
    base_.fill(0.0);
    info_ = {};
}

std::size_t tRunData::Add(double t, const tReadingValues& readings) {
    if (time_.empty()) {
        for (int i = 0; i < kQuantityCount; ++i) {
            base_[i] = relative_[i] ? readings[i] : 0.0;
        }
    }
    const std::size_t n = time_.size();
    std::size_t p = n;
    if (n > 0 && t < time_[n - 1] && std::isfinite(t)) {
        // The station's clock went back.
        p = static_cast<std::size_t>(std::upper_bound(time_.begin(), time_.end(), t) -
                                     time_.begin());
    }
    const auto at = static_cast<std::ptrdiff_t>(p);
    time_.insert(time_.begin() + at, t);
    for (int i = 0; i < kQuantityCount; ++i) {
        measured_[i].insert(measured_[i].begin() + at, readings[i]);
    }
    return p;
}

void tRunData::AddTransition(double t, std::string state, bool intervention) {
    transitions_.push_back({t, std::move(state), intervention});
}

float tRunData::Shown(int i, std::size_t p) const {
    const float value = measured_[i][p];
    // In single precision, as the scenario has always received it: the
    // first reading of a relative quantity is exactly 0.
    return relative_[i] ? value - static_cast<float>(base_[i]) : value;
}

std::optional<std::size_t> tRunData::NearestPoint(double T) const {
    if (time_.empty() || std::isnan(T)) {
        return std::nullopt;
    }
    const auto lower = std::lower_bound(time_.begin(), time_.end(), T);
    std::size_t k;
    if (lower == time_.begin()) {
        k = 0;
    } else if (lower == time_.end()) {
        k = time_.size() - 1;
    } else {
        const auto hi = static_cast<std::size_t>(lower - time_.begin());
        k = std::fabs(time_[hi] - T) < std::fabs(time_[hi - 1] - T) ? hi : hi - 1;
    }
    // Records of one time (a stalled clock) are one place on the chart.
    return static_cast<std::size_t>(std::lower_bound(time_.begin(), time_.end(), time_[k]) -
                                    time_.begin());
}

std::optional<std::size_t> tRunData::NearestToValue(int i, double value) const {
    // The abscissa goes back and forth with the run: no order to search by.
    std::optional<std::size_t> nearest;
    if (!std::isfinite(value)) {
        return nearest;
    }
    double best = std::numeric_limits<double>::infinity();
    for (std::size_t p = 0; p < Count(); ++p) {
        const double distance = std::fabs(Shown(i, p) - value);
        if (distance < best) {
            best = distance;
            nearest = p;
        }
    }
    return nearest;
}

std::size_t tRunData::StorageBytes() const {
    std::size_t bytes = time_.capacity() * sizeof(double);
    for (const std::vector<float>& values : measured_) {
        bytes += values.capacity() * sizeof(float);
    }
    return bytes;
}

}  // namespace vantrel
