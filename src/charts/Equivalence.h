#pragma once

#include <optional>
#include <span>
#include <vector>

namespace vantrel {

class tRunData;

// The equivalence point of a titration: where the pH changes fastest with
// the volume dosed.
struct tEquivalencePoint {
    double volume = 0;  // ml
    double pH = 0;      // pH at that volume (interpolated from the curve)
};

// dpH/dV as drawn: one (volume, derivative in pH per ml) pair per smoothed step.
struct tDerivativePoint {
    double volume;
    double slope;
};

struct tEquivalenceOptions {
    // ml: the derivative at a volume is the slope of the straight line
    // fitted to the points within half of this on either side (at least
    // one neighbour each side), so that sensor noise does not make the peak.
    double window = 0.1;
    // A jump: the pH changes by at least this much across the peak (where
    // the slope is at least half of its peak value) ...
    double minJump = 1.0;
    // ... and the peak slope is at least this many times the median slope
    // of the whole curve (a clear peak, not a steady rise).
    double minPeakRatio = 5.0;
};

// Both take a run's readings in run order: `volume` one dosed volume (ml),
// `pH` the pH at the same moments; the shorter of the two sets the length.
// Only the dosing counts: a point whose volume lies below the largest so far
// is left out, points of one volume (a pause) become one point with their
// mean pH, and points that are not finite numbers are skipped.

// The smoothed derivative at every dosed volume that has neighbours on both
// sides, in increasing volume.
std::vector<tDerivativePoint> pHDerivative(std::span<const double> volume,
                                           std::span<const double> pH,
                                           const tEquivalenceOptions& options = {});

// The volume of the derivative's peak, refined between points by the
// parabola through the peak and its two neighbours, and the pH there. None
// when the pH never jumps: the peak fails either criterion above, or the
// slope does not fall below half its peak on both sides within the run (the
// jump is not over, or began before the dosing).
std::optional<tEquivalencePoint> findEquivalencePoint(std::span<const double> volume,
                                                      std::span<const double> pH,
                                                      const tEquivalenceOptions& options = {});

// A run's titration in physical units, one pair per point in run order:
// the dosed volume of quantity `volumeQuantity` (qV1..qV3) and the pH, as
// the station gave them also where the charts show them relative.
struct tTitration {
    std::vector<double> volume;
    std::vector<double> pH;
};
tTitration titrationOf(const tRunData& run, int volumeQuantity);

}  // namespace vantrel
