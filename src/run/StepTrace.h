#pragma once

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "device/Command.h"
#include "device/Readings.h"
#include "run/Intervention.h"

namespace vantrel {

// The seven readings as shown (after relative subtraction), then the seven
// rates of change per minute: what a running scenario receives.
using tExperimentValues = std::array<float, 2 * kQuantityCount>;

inline tExperimentValues experimentValues(const tReadingValues& shown,
                                          const tReadingValues& rates) {
    tExperimentValues values{};
    std::copy(shown.begin(), shown.end(), values.begin());
    std::copy(rates.begin(), rates.end(), values.begin() + kQuantityCount);
    return values;
}

// A state as a trace names it; it outlives the scenario it came from.
struct tStateRef {
    int number = -1;  // -1: none (the run's start)
    std::string name;
};

// A command of a state the safety rules held back, and why.
struct tRefusedCommand {
    tCommand command;
    tIntervention why;  // "SAFETY: REFUSED <command>" in `log`
};

// Why a run went to a state: what the script saw, where it was, and what
// entering the new state sent and refused.
struct tStepTrace {
    double time = 0;           // s on the run's clock
    tExperimentValues seen{};  // the readings then the rates; all 0 at the start
    tStateRef from;            // none for the start state
    tStateRef to;
    std::vector<tCommand> sent;  // passed by the safety rules, in the state's order
    std::vector<tRefusedCommand> refused;
};

}  // namespace vantrel
