#pragma once

#include <optional>
#include <string>
#include <vector>

#include "run/StepTrace.h"
#include "station/RateMeter.h"
#include "station/SafetyRules.h"

namespace vantrel {

class tExperiment;
class tState;

// The one way a scenario steps, on the station and in a replay: the
// experiment's step with one reading set, then every action of the state
// entered through the safety rules. Sending is the caller's: a live run
// writes `sent` through its safety gate, a replay only tells it. Nothing is
// owned; the rules must have seen the reading set before the step, as a
// live run's safety check sees each record before the scenario does.
class tScenarioStepper {
public:
    tScenarioStepper(tExperiment& experiment, const tSafetyRules& rules)
        : experiment_(experiment), rules_(rules) {}

    // Enters the start state of a loaded scenario; none without one.
    std::optional<tStepTrace> Start(double time);
    // The current state's actions once more (a run resumed after the link
    // came back), decided anew; none without a current state.
    std::optional<tStepTrace> Again(double time) const;
    // One step with `seen`; a trace when the state changed. A failing
    // script is raised as tExperiment::Update raises it.
    std::optional<tStepTrace> Step(double time, const tExperimentValues& seen);

private:
    tStepTrace enter(double time, const tExperimentValues& seen, const tState* from,
                     const tState& to) const;

    tExperiment& experiment_;
    const tSafetyRules& rules_;
};

// A recorded run stepped through a scenario off the station: each reading
// set goes to rules of its own, as the safety check of a live run with
// `limits` would see it, then to the scenario with the rates of change a live
// run computes.
class tScenarioReplay {
public:
    tScenarioReplay(tExperiment& experiment, const tSafetyLimits& limits)
        : rules_(limits), stepper_(experiment, rules_) {}
    tScenarioReplay(const tScenarioReplay&) = delete;
    tScenarioReplay& operator=(const tScenarioReplay&) = delete;

    std::optional<tStepTrace> Start();
    // The next reading set in run order (`time` in s), as shown.
    std::optional<tStepTrace> Step(double time, const tReadingValues& readings);

private:
    tSafetyRules rules_;
    tRateMeter rates_;
    tScenarioStepper stepper_;
};

}  // namespace vantrel
