#include "charts/CurveFit.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace vantrel {

namespace {

using Eigen::MatrixXd;
using Eigen::VectorXd;

// A column this much smaller than the largest, after elimination, counts as
// dependent on the others.
constexpr double kRankThreshold = 1e-12;

struct tPoints {
    VectorXd x;
    VectorXd y;
};

tPoints finitePoints(std::span<const double> x, std::span<const double> y) {
    const std::size_t n = std::min(x.size(), y.size());
    std::vector<double> fx;
    std::vector<double> fy;
    fx.reserve(n);
    fy.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (std::isfinite(x[i]) && std::isfinite(y[i])) {
            fx.push_back(x[i]);
            fy.push_back(y[i]);
        }
    }
    tPoints points{VectorXd(static_cast<Eigen::Index>(fx.size())),
                   VectorXd(static_cast<Eigen::Index>(fy.size()))};
    std::copy(fx.begin(), fx.end(), points.x.begin());
    std::copy(fy.begin(), fy.end(), points.y.begin());
    return points;
}

// (JᵀJ)⁻¹ from a rank-revealing QR of J, without forming JᵀJ.
MatrixXd inverseNormalMatrix(const Eigen::ColPivHouseholderQR<MatrixXd>& qr) {
    const Eigen::Index p = qr.cols();
    const MatrixXd rInverse = qr.matrixR().topLeftCorner(p, p).triangularView<Eigen::Upper>().solve(
        MatrixXd::Identity(p, p));
    const MatrixXd permuted = rInverse * rInverse.transpose();
    return qr.colsPermutation() * permuted * qr.colsPermutation().transpose();
}

// Fills the statistics both kinds of fit share and checks that nothing
// overflowed on the way.
void finish(tCurveFit& fit, const VectorXd& y, const VectorXd& residual,
            const MatrixXd& covariance) {
    const double n = static_cast<double>(y.size());
    const std::size_t p = parameterCount(fit.model);
    const double rss = residual.squaredNorm();
    const double tss = (y.array() - y.mean()).matrix().squaredNorm();
    const double s2 = rss / (n - static_cast<double>(p));
    for (std::size_t i = 0; i < p; ++i) {
        const auto k = static_cast<Eigen::Index>(i);
        fit.standardErrors[i] = std::sqrt(std::max(s2 * covariance(k, k), 0.0));
    }
    fit.rSquared = tss > 0 ? 1 - rss / tss : 1;
    const bool finite = std::isfinite(rss) && std::isfinite(tss) && std::isfinite(fit.origin) &&
                        std::all_of(fit.parameters.begin(), fit.parameters.end(),
                                    [](double v) { return std::isfinite(v); }) &&
                        std::all_of(fit.standardErrors.begin(), fit.standardErrors.end(),
                                    [](double v) { return std::isfinite(v); });
    fit.status = finite ? tFitStatus::Ok : tFitStatus::NotFinite;
}

// Powers of x far from 0 make the columns nearly parallel: the fit runs on
// t = (x − centre)/half in [−1, 1] and is carried over to powers of
// s = x − x0, which stay within the stretch's width too.
void fitPolynomial(tCurveFit& fit, const tPoints& points) {
    const auto p = static_cast<Eigen::Index>(parameterCount(fit.model));
    const Eigen::Index n = points.x.size();
    const double low = points.x.minCoeff();
    const double high = points.x.maxCoeff();
    const double centre = low / 2 + high / 2;
    const double half = high / 2 - low / 2;
    if (!(half > 0)) {
        fit.status = tFitStatus::Singular;
        return;
    }
    MatrixXd design(n, p);
    for (Eigen::Index i = 0; i < n; ++i) {
        const double t = (points.x(i) - centre) / half;
        double power = 1;
        for (Eigen::Index j = 0; j < p; ++j) {
            design(i, j) = power;
            power *= t;
        }
    }
    if (!design.allFinite()) {
        fit.status = tFitStatus::NotFinite;
        return;
    }
    Eigen::ColPivHouseholderQR<MatrixXd> qr(design);
    qr.setThreshold(kRankThreshold);
    if (qr.rank() < p) {
        fit.status = tFitStatus::Singular;
        return;
    }
    const VectorXd scaled = qr.solve(points.y);
    const VectorXd residual = points.y - design * scaled;

    // With d = x0 − centre, t^j = Σ_k C(j,k)·s^k·d^(j−k) / half^j; |d| ≤ half.
    const double shift = fit.origin - centre;
    MatrixXd toStart = MatrixXd::Zero(p, p);
    for (Eigen::Index j = 0; j < p; ++j) {
        double binomial = 1;
        for (Eigen::Index k = j; k >= 0; --k) {
            toStart(k, j) = binomial * std::pow(shift, static_cast<double>(j - k)) /
                            std::pow(half, static_cast<double>(j));
            binomial = binomial * static_cast<double>(k) / static_cast<double>(j - k + 1);
        }
    }
    const VectorXd fromStart = toStart * scaled;
    for (Eigen::Index j = 0; j < p; ++j) {
        fit.parameters[static_cast<std::size_t>(j)] = fromStart(j);
    }
    finish(fit, points.y, residual, toStart * inverseNormalMatrix(qr) * toStart.transpose());
}

// The search runs on y = α + β·(e^(k·t) − 1)/k over t in [0, 1], which turns
// smoothly into the line α + β·t as k goes to 0. In the form a + b·e^(k·t)
// a nearly straight stretch sends b to infinity and the search would crawl
// after it; here it simply ends at a small k.
struct tExponential {
    double alpha;
    double beta;
    double k;
};

// Below this |k·t| the closed forms lose digits to cancellation.
constexpr double kSeriesBelow = 1e-3;

// (e^(k·t) − 1)/k
double shape(double k, double t) {
    return k == 0 ? t : std::expm1(k * t) / k;
}

// Its derivative with respect to k.
double shapeRate(double k, double t) {
    const double kt = k * t;
    if (std::fabs(kt) < kSeriesBelow) {
        return t * t * (1.0 / 2 + kt * (1.0 / 3 + kt * (1.0 / 8 + kt * (1.0 / 30 + kt / 144))));
    }
    return (kt * std::exp(kt) - std::expm1(kt)) / (k * k);
}

VectorXd exponentialResidual(const tExponential& e, const VectorXd& t, const VectorXd& y) {
    VectorXd residual(t.size());
    for (Eigen::Index i = 0; i < t.size(); ++i) {
        residual(i) = y(i) - e.alpha - e.beta * shape(e.k, t(i));
    }
    return residual;
}

MatrixXd exponentialJacobian(const tExponential& e, const VectorXd& t) {
    MatrixXd jacobian(t.size(), 3);
    for (Eigen::Index i = 0; i < t.size(); ++i) {
        jacobian(i, 0) = 1;
        jacobian(i, 1) = shape(e.k, t(i));
        jacobian(i, 2) = e.beta * shapeRate(e.k, t(i));
    }
    return jacobian;
}

// The rate from the curve's shape, without logarithms: y' = k·(y − a)
// integrates to y(t) = y(0) − k·a·t + k·∫y dt, which is linear in the
// unknowns, and integrating smooths the noise that a derivative would raise.
std::optional<double> initialRate(const VectorXd& t, const VectorXd& y) {
    const Eigen::Index n = t.size();
    std::vector<Eigen::Index> order(static_cast<std::size_t>(n));
    std::iota(order.begin(), order.end(), Eigen::Index{0});
    std::sort(order.begin(), order.end(),
              [&](Eigen::Index a, Eigen::Index b) { return t(a) < t(b); });
    MatrixXd design(n, 3);
    VectorXd target(n);
    double integral = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const Eigen::Index at = order[i];
        if (i > 0) {
            const Eigen::Index before = order[i - 1];
            integral += (t(at) - t(before)) * (y(at) + y(before)) / 2;
        }
        const auto row = static_cast<Eigen::Index>(i);
        design(row, 0) = 1;
        design(row, 1) = t(at);
        design(row, 2) = integral;
        target(row) = y(at);
    }
    Eigen::ColPivHouseholderQR<MatrixXd> qr(design);
    qr.setThreshold(kRankThreshold);
    if (qr.rank() < 3) {
        return std::nullopt;  // ∫y is a line in t: y is constant
    }
    const double k = qr.solve(target)(2);
    if (!std::isfinite(k)) {
        return std::nullopt;
    }
    return k;
}

// α and β for a fixed rate: a straight-line fit against the shape.
std::optional<tExponential> levelsFor(double k, const VectorXd& t, const VectorXd& y) {
    MatrixXd design(t.size(), 2);
    for (Eigen::Index i = 0; i < t.size(); ++i) {
        design(i, 0) = 1;
        design(i, 1) = shape(k, t(i));
    }
    Eigen::ColPivHouseholderQR<MatrixXd> qr(design);
    qr.setThreshold(kRankThreshold);
    if (qr.rank() < 2) {
        return std::nullopt;
    }
    const VectorXd levels = qr.solve(y);
    return tExponential{levels(0), levels(1), k};
}

enum class tSearch { Converged, Stuck, Diverged };

// Levenberg–Marquardt with Moré's column scaling and Nielsen's damping
// update. Each Jacobian is factored once, J = QR, and every damping tried
// with it solves only the small problem [R; √λ·D]·δ ≈ [Qᵀr; 0], never the
// normal equations, whose condition is the square of the Jacobian's.
tSearch levenbergMarquardt(tExponential& e, const VectorXd& t, const VectorXd& y) {
    constexpr int kMaxIterations = 200;
    constexpr double kStepTolerance = 1e-10;
    constexpr double kReductionTolerance = 1e-15;
    constexpr double kMaxDamping = 1e20;

    VectorXd residual = exponentialResidual(e, t, y);
    double rss = residual.squaredNorm();
    Eigen::Vector3d scale = Eigen::Vector3d::Zero();
    double damping = 1e-3;
    double growth = 2;
    for (int iteration = 0; iteration < kMaxIterations; ++iteration) {
        if (rss == 0) {
            return tSearch::Converged;
        }
        const MatrixXd jacobian = exponentialJacobian(e, t);
        scale = scale.cwiseMax(jacobian.colwise().norm().transpose());
        if (!(scale.minCoeff() > 0) || !scale.allFinite()) {
            return tSearch::Diverged;
        }
        const Eigen::HouseholderQR<MatrixXd> qr(jacobian);
        const Eigen::Vector3d projected = (qr.householderQ().transpose() * residual).head(3);
        Eigen::Matrix<double, 6, 3> small = Eigen::Matrix<double, 6, 3>::Zero();
        small.topRows(3) = qr.matrixQR().topRows(3).triangularView<Eigen::Upper>();
        Eigen::Matrix<double, 6, 1> rhs = Eigen::Matrix<double, 6, 1>::Zero();
        rhs.head(3) = projected;
        const Eigen::Vector3d position(e.alpha, e.beta, e.k);
        while (true) {
            small.bottomRows(3) = (std::sqrt(damping) * scale).asDiagonal();
            const Eigen::Vector3d step = small.colPivHouseholderQr().solve(rhs);
            const tExponential trial{e.alpha + step(0), e.beta + step(1), e.k + step(2)};
            const VectorXd trialResidual = exponentialResidual(trial, t, y);
            const double trialRss = trialResidual.squaredNorm();
            const double predicted = rss - (residual - jacobian * step).squaredNorm();
            const double ratio =
                std::isfinite(trialRss) && predicted > 0 ? (rss - trialRss) / predicted : -1;
            const bool tinyStep = scale.cwiseProduct(step).norm() <=
                                  kStepTolerance * scale.cwiseProduct(position).norm();
            if (ratio > 0) {
                const bool flat = rss - trialRss <= kReductionTolerance * rss &&
                                  predicted <= kReductionTolerance * rss;
                e = trial;
                residual = trialResidual;
                rss = trialRss;
                damping *= std::max(1.0 / 3.0, 1 - std::pow(2 * ratio - 1, 3));
                growth = 2;
                if (tinyStep || flat) {
                    return tSearch::Converged;
                }
                break;
            }
            if (tinyStep) {
                return tSearch::Converged;  // no smaller move improves on this point
            }
            damping *= growth;
            growth *= 2;
            if (damping > kMaxDamping) {
                return tSearch::Stuck;
            }
        }
    }
    return tSearch::Diverged;
}

// Below this rate the curve departs from a straight line by less than a
// millionth of its change over the stretch: no plateau can be told from it.
constexpr double kStraight = 1e-6;

void fitExponential(tCurveFit& fit, const tPoints& points) {
    const double low = points.x.minCoeff();
    const double span = points.x.maxCoeff() - low;
    const double spread = (points.y.array() - points.y.mean()).matrix().squaredNorm();
    if (!std::isfinite(span) || !std::isfinite(spread)) {
        fit.status = tFitStatus::NotFinite;
        return;
    }
    if (!(span > 0)) {
        fit.status = tFitStatus::Singular;
        return;
    }
    const VectorXd t = (points.x.array() - low) / span;
    const std::optional<double> rate = initialRate(t, points.y);
    if (!rate) {
        fit.status = tFitStatus::Singular;
        return;
    }
    // e^(k·t) stays finite on [0, 1] within this.
    constexpr double kLargestRate = 700;
    std::optional<tExponential> e =
        levelsFor(std::clamp(*rate, -kLargestRate, kLargestRate), t, points.y);
    if (!e) {
        fit.status = tFitStatus::Singular;
        return;
    }
    switch (levenbergMarquardt(*e, t, points.y)) {
        case tSearch::Converged:
            break;
        case tSearch::Stuck:
        case tSearch::Diverged:
            fit.status = tFitStatus::NoConvergence;
            return;
    }
    if (!(std::fabs(e->k) >= kStraight)) {
        fit.status = tFitStatus::Singular;
        return;
    }
    // b at the stretch's start, which is its smallest x on the time axis
    // but not always against another quantity.
    const double start = (fit.origin - low) / span;
    const double a = e->alpha - e->beta / e->k;
    const double b = e->beta / e->k * std::exp(e->k * start);

    // The covariance of a, b, k from the Jacobian of that form at the same
    // point, columns scaled to unit length so that the rank test weighs them
    // alike.
    MatrixXd jacobian(t.size(), 3);
    for (Eigen::Index i = 0; i < t.size(); ++i) {
        const double grow = std::exp(e->k * (t(i) - start));
        jacobian(i, 0) = 1;
        jacobian(i, 1) = grow;
        jacobian(i, 2) = b * (t(i) - start) * grow;
    }
    const Eigen::RowVectorXd norms = jacobian.colwise().norm();
    if (!jacobian.allFinite() || !norms.allFinite()) {
        fit.status = tFitStatus::NotFinite;
        return;
    }
    if (!(norms.minCoeff() > 0)) {
        fit.status = tFitStatus::Singular;
        return;
    }
    Eigen::ColPivHouseholderQR<MatrixXd> qr(jacobian * norms.cwiseInverse().asDiagonal());
    qr.setThreshold(kRankThreshold);
    if (qr.rank() < 3) {
        fit.status = tFitStatus::Singular;
        return;
    }
    // c = k / span in the caller's units.
    const Eigen::Vector3d unscale =
        norms.cwiseInverse().transpose().cwiseProduct(Eigen::Vector3d(1, 1, 1 / span));
    const MatrixXd covariance =
        unscale.asDiagonal() * inverseNormalMatrix(qr) * unscale.asDiagonal();
    fit.parameters = {a, b, e->k / span};
    finish(fit, points.y, exponentialResidual(*e, t, points.y), covariance);
}

}  // namespace

std::size_t parameterCount(tFitModel model) {
    return model == tFitModel::Linear ? 2 : 3;
}

tCurveFit fitCurve(tFitModel model, std::span<const double> x, std::span<const double> y) {
    tCurveFit fit;
    fit.model = model;
    const tPoints points = finitePoints(x, y);
    fit.points = static_cast<std::size_t>(points.x.size());
    if (fit.points > 0) {
        fit.origin = points.x(0);
    }
    if (fit.points <= parameterCount(model)) {
        fit.status = tFitStatus::TooFewPoints;
        return fit;
    }
    if (points.y.maxCoeff() == points.y.minCoeff()) {
        fit.status = tFitStatus::NoChange;
        return fit;
    }
    if (model == tFitModel::Exponential) {
        fitExponential(fit, points);
    } else {
        fitPolynomial(fit, points);
    }
    return fit;
}

double evaluate(tFitModel model, const std::array<double, 3>& parameters, double origin, double x) {
    const auto [a, b, c] = parameters;
    const double s = x - origin;
    switch (model) {
        case tFitModel::Linear:
            return a + b * s;
        case tFitModel::Quadratic:
            return a + s * (b + c * s);
        case tFitModel::Exponential:
            return a + b * std::exp(c * s);
    }
    return std::nan("");
}

std::optional<double> slopeAt(std::span<const double> x, std::span<const double> y, std::size_t p,
                              double window) {
    const std::size_t n = std::min(x.size(), y.size());
    if (p >= n || !std::isfinite(x[p])) {
        return std::nullopt;
    }
    const double at = x[p];
    const double half = std::isfinite(window) ? std::max(window / 2, 0.0) : 0.0;
    auto finite = [&](std::size_t i) { return std::isfinite(x[i]) && std::isfinite(y[i]); };

    // Outward from p on each side, as long as x stays near; the first finite
    // neighbour always counts.
    std::vector<std::size_t> chosen;
    if (finite(p)) {
        chosen.push_back(p);
    }
    // `step` -1 walks back from p, +1 forward.
    const auto take = [&](std::ptrdiff_t step) {
        bool first = true;
        for (auto i = static_cast<std::ptrdiff_t>(p) + step;
             i >= 0 && i < static_cast<std::ptrdiff_t>(n); i += step) {
            const auto k = static_cast<std::size_t>(i);
            if (!finite(k)) {
                continue;
            }
            if (!first && std::fabs(x[k] - at) > half) {
                break;
            }
            chosen.push_back(k);
            first = false;
        }
    };
    take(-1);
    take(+1);
    if (chosen.size() < 2) {
        return std::nullopt;
    }
    const double count = static_cast<double>(chosen.size());
    double meanX = 0;
    double meanY = 0;
    for (std::size_t i : chosen) {
        meanX += x[i] - at;
        meanY += y[i];
    }
    meanX /= count;
    meanY /= count;
    double sxy = 0;
    double sxx = 0;
    for (std::size_t i : chosen) {
        const double dx = x[i] - at - meanX;
        sxy += dx * (y[i] - meanY);
        sxx += dx * dx;
    }
    if (!(sxx > 0)) {
        return std::nullopt;
    }
    return sxy / sxx;
}

double areaUnder(std::span<const double> x, std::span<const double> y) {
    const std::size_t n = std::min(x.size(), y.size());
    double area = 0;
    bool started = false;
    double lastX = 0;
    double lastY = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (!std::isfinite(x[i]) || !std::isfinite(y[i])) {
            continue;
        }
        if (started) {
            area += (x[i] - lastX) * (y[i] + lastY) / 2;
        }
        lastX = x[i];
        lastY = y[i];
        started = true;
    }
    return area;
}

}  // namespace vantrel
