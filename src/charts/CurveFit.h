#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>

namespace vantrel {

// Each written about x0, the stretch's start (tCurveFit::origin).
enum class tFitModel {
    Linear,       // y = a + b·(x − x0)
    Quadratic,    // y = a + b·(x − x0) + c·(x − x0)²
    Exponential,  // y = a + b·e^(c·(x − x0)): heating or cooling toward the plateau a
};

// 2 for the line, 3 for the others.
std::size_t parameterCount(tFitModel model);

enum class tFitStatus {
    Ok,
    TooFewPoints,   // no more finite points than parameters: nothing left to judge the fit by
    Singular,       // the points do not determine the parameters (all x equal, no curvature)
    NoConvergence,  // the exponential fit did not settle on a minimum
    NotFinite,      // the values are too large: the fit's own arithmetic overflowed
    NoChange,       // y is the same at every point: there is nothing to fit
};

struct tCurveFit {
    tFitModel model = tFitModel::Linear;
    tFitStatus status = tFitStatus::TooFewPoints;
    // a, b, c in the caller's units, about `origin`; the line leaves c at 0.
    std::array<double, 3> parameters{};
    // One standard error per parameter, from the covariance s²·(JᵀJ)⁻¹ at the
    // solution with s² = RSS / (n − p).
    std::array<double, 3> standardErrors{};
    // x0, where the equations start: the x of the stretch's first finite
    // point. a is the curve's value there (the exponential's a + b), so the
    // parameters stay few-digit numbers late in a long run, where powers of x
    // or e^(c·x) would need more digits than anyone prints.
    double origin = 0;
    double rSquared = 0;     // 1 − RSS/TSS
    std::size_t points = 0;  // the finite points the fit used

    bool ok() const { return status == tFitStatus::Ok; }
};

// Least squares over the pairs (x[i], y[i]); the shorter span sets the length.
// A pair with a non-finite x or y is left out and does not count in `points`.
// Standard errors need at least one point more than the model has parameters,
// so fewer give TooFewPoints; y the same everywhere gives NoChange (a flat
// line would claim a perfect fit). Nothing but the status, `origin` and
// `points` is meaningful unless ok().
tCurveFit fitCurve(tFitModel model, std::span<const double> x, std::span<const double> y);

// The fitted curve at x, to draw it.
double evaluate(tFitModel model, const std::array<double, 3>& parameters, double origin, double x);
inline double evaluate(const tCurveFit& fit, double x) {
    return evaluate(fit.model, fit.parameters, fit.origin, x);
}

// dy/dx at point p: the slope of the least-squares line through the points
// next to it in run order whose x lies within half of `window` of x[p],
// always with the nearest finite neighbour on each side that has one (so a
// window of 0 gives the three-point slope). Non-finite points are passed
// over. None when p is out of range, x[p] is not finite, or the points there
// share one x.
std::optional<double> slopeAt(std::span<const double> x, std::span<const double> y, std::size_t p,
                              double window);

// ∫y dx by trapezoids between consecutive finite points in run order. A
// non-finite point is passed over: its neighbours are joined by a straight
// line across the gap, so a dropout neither counts as zero nor cuts the
// stretch short. x running backwards counts negative. 0 with fewer than two
// finite points.
double areaUnder(std::span<const double> x, std::span<const double> y);

}  // namespace vantrel
