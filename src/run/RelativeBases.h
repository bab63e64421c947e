#pragma once

#include <array>

#include "device/Readings.h"

namespace vantrel {

// A run's readings as shown: a quantity relative in the run counts from its
// first reading, in single precision, so that first reading shows exactly 0.
// Whoever needs shown values during a run (the scenario, a progress line)
// keeps one of these rather than asking a view of the run.
class tRelativeBases {
public:
    // A new run; the first reading set after this gives the bases.
    void Start(const std::array<bool, kQuantityCount>& relative);
    // The next reading set in arrival order, as shown.
    tReadingValues Shown(const tReadingValues& readings);

private:
    std::array<bool, kQuantityCount> relative_{};
    tReadingValues base_{};
    bool first_ = true;
};

}  // namespace vantrel
