#include "charts/Equivalence.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "run/Quantities.h"
#include "run/RunData.h"

namespace vantrel {

namespace {

// Volumes closer than this are one volume: the station's counter did not move.
constexpr double kSameVolume = 1e-9;

struct tCurvePoint {
    double volume;
    double pH;
};

// The pH as a function of the volume dosed.
std::vector<tCurvePoint> dosingCurve(std::span<const double> volume, std::span<const double> pH) {
    const std::size_t n = std::min(volume.size(), pH.size());
    std::vector<tCurvePoint> curve;
    double sum = 0;
    std::size_t count = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double v = volume[i];
        const double p = pH[i];
        if (!std::isfinite(v) || !std::isfinite(p)) {
            continue;
        }
        if (!curve.empty() && std::fabs(v - curve.back().volume) <= kSameVolume) {
            sum += p;
            ++count;
            curve.back().pH = sum / static_cast<double>(count);
        } else if (curve.empty() || v > curve.back().volume) {
            curve.push_back({v, p});
            sum = p;
            count = 1;
        }
    }
    return curve;
}

std::vector<tDerivativePoint> derivativeOf(const std::vector<tCurvePoint>& curve,
                                           const tEquivalenceOptions& options) {
    std::vector<tDerivativePoint> derivative;
    if (curve.size() < 3) {
        return derivative;
    }
    const double half = std::isfinite(options.window) ? std::max(options.window / 2, 0.0) : 0.0;
    derivative.reserve(curve.size() - 2);
    std::size_t lo = 0;
    std::size_t hi = 2;
    for (std::size_t i = 1; i + 1 < curve.size(); ++i) {
        const double v = curve[i].volume;
        // Both ends only move forward as i does.
        lo = std::min(lo, i - 1);
        while (lo < i - 1 && v - curve[lo].volume > half) {
            ++lo;
        }
        hi = std::max(hi, i + 1);
        while (hi + 1 < curve.size() && curve[hi + 1].volume - v <= half) {
            ++hi;
        }
        const double count = static_cast<double>(hi - lo + 1);
        double meanV = 0;
        double meanP = 0;
        for (std::size_t j = lo; j <= hi; ++j) {
            meanV += curve[j].volume;
            meanP += curve[j].pH;
        }
        meanV /= count;
        meanP /= count;
        double sxy = 0;
        double sxx = 0;
        for (std::size_t j = lo; j <= hi; ++j) {
            const double dv = curve[j].volume - meanV;
            sxy += dv * (curve[j].pH - meanP);
            sxx += dv * dv;
        }
        // The volumes are distinct, so sxx > 0 unless they are too close to
        // tell apart in floating point.
        if (sxx > 0) {
            derivative.push_back({v, sxy / sxx});
        }
    }
    return derivative;
}

// Linear interpolation of the curve at volume v (within its range).
double pHAt(const std::vector<tCurvePoint>& curve, double v) {
    const auto after = std::upper_bound(
        curve.begin(), curve.end(), v, [](double x, const tCurvePoint& p) { return x < p.volume; });
    if (after == curve.begin()) {
        return curve.front().pH;
    }
    if (after == curve.end()) {
        return curve.back().pH;
    }
    const tCurvePoint& a = *(after - 1);
    const tCurvePoint& b = *after;
    return a.pH + (b.pH - a.pH) * (v - a.volume) / (b.volume - a.volume);
}

// The vertex of the parabola through three points, kept between the outer two.
double parabolaVertex(const tDerivativePoint& a, const tDerivativePoint& b,
                      const tDerivativePoint& c, double sign) {
    const double ya = sign * a.slope;
    const double yb = sign * b.slope;
    const double yc = sign * c.slope;
    const double l = b.volume - a.volume;
    const double r = b.volume - c.volume;
    const double denominator = l * (yb - yc) - r * (yb - ya);
    if (!(std::fabs(denominator) > 0)) {
        return b.volume;
    }
    const double vertex = b.volume - 0.5 * (l * l * (yb - yc) - r * r * (yb - ya)) / denominator;
    return std::clamp(vertex, a.volume, c.volume);
}

}  // namespace

std::vector<tDerivativePoint> pHDerivative(std::span<const double> volume,
                                           std::span<const double> pH,
                                           const tEquivalenceOptions& options) {
    return derivativeOf(dosingCurve(volume, pH), options);
}

std::optional<tEquivalencePoint> findEquivalencePoint(std::span<const double> volume,
                                                      std::span<const double> pH,
                                                      const tEquivalenceOptions& options) {
    const std::vector<tCurvePoint> curve = dosingCurve(volume, pH);
    const std::vector<tDerivativePoint> d = derivativeOf(curve, options);
    if (d.size() < 3) {
        return std::nullopt;
    }
    const auto steepest = std::max_element(
        d.begin(), d.end(), [](const tDerivativePoint& a, const tDerivativePoint& b) {
            return std::fabs(a.slope) < std::fabs(b.slope);
        });
    const std::size_t k = static_cast<std::size_t>(steepest - d.begin());
    const double sign = d[k].slope < 0 ? -1.0 : 1.0;  // base into acid, or acid into base
    const double peak = sign * d[k].slope;
    if (!(peak > 0)) {
        return std::nullopt;
    }

    // The jump: the stretch around the peak where the slope is at least
    // half of it. It must end on both sides within the run.
    std::size_t left = k;
    while (left > 0 && sign * d[left - 1].slope >= peak / 2) {
        --left;
    }
    std::size_t right = k;
    while (right + 1 < d.size() && sign * d[right + 1].slope >= peak / 2) {
        ++right;
    }
    if (left == 0 || right + 1 == d.size()) {
        return std::nullopt;
    }
    const double jump =
        std::fabs(pHAt(curve, d[right + 1].volume) - pHAt(curve, d[left - 1].volume));
    if (!(jump >= options.minJump)) {
        return std::nullopt;
    }

    std::vector<double> slopes(d.size());
    std::transform(d.begin(), d.end(), slopes.begin(),
                   [](const tDerivativePoint& p) { return std::fabs(p.slope); });
    const auto middle = slopes.begin() + static_cast<std::ptrdiff_t>(slopes.size() / 2);
    std::nth_element(slopes.begin(), middle, slopes.end());
    if (!(peak >= options.minPeakRatio * *middle)) {
        return std::nullopt;
    }

    const double at = parabolaVertex(d[k - 1], d[k], d[k + 1], sign);
    return tEquivalencePoint{at, pHAt(curve, at)};
}

tTitration titrationOf(const tRunData& run, int volumeQuantity) {
    const std::size_t count = run.Count();
    tTitration titration;
    titration.volume.reserve(count);
    titration.pH.reserve(count);
    for (std::size_t p = 0; p < count; ++p) {
        titration.volume.push_back(run.Measured(volumeQuantity, p));
        titration.pH.push_back(run.Measured(qLP, p));
    }
    return titration;
}

}  // namespace vantrel
