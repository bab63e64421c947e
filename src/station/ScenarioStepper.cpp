#include "station/ScenarioStepper.h"

#include "experiment/Experiment.h"

namespace vantrel {

namespace {

tStateRef refOf(const tState* state) {
    return state != nullptr ? tStateRef{state->Number(), state->Name()} : tStateRef{};
}

}  // namespace

tStepTrace tScenarioStepper::enter(double time, const tExperimentValues& seen, const tState* from,
                                   const tState& to) const {
    tStepTrace trace{time, seen, refOf(from), refOf(&to), {}, {}};
    for (const tCommand& command : to.Commands()) {
        if (std::optional<tIntervention> why = rules_.Refusal(command)) {
            trace.refused.push_back({command, std::move(*why)});
        } else {
            trace.sent.push_back(command);
        }
    }
    return trace;
}

std::optional<tStepTrace> tScenarioStepper::Start(double time) {
    const tState* state = experiment_.Start();
    if (state == nullptr) {
        return std::nullopt;
    }
    return enter(time, {}, nullptr, *state);
}

std::optional<tStepTrace> tScenarioStepper::Again(double time) const {
    const tState* state = experiment_.GetCurrentState();
    if (state == nullptr) {
        return std::nullopt;
    }
    return enter(time, {}, state, *state);
}

std::optional<tStepTrace> tScenarioStepper::Step(double time, const tExperimentValues& seen) {
    const tState* from = experiment_.GetCurrentState();
    if (!experiment_.Update(seen)) {
        return std::nullopt;
    }
    return enter(time, seen, from, *experiment_.GetCurrentState());
}

std::optional<tStepTrace> tScenarioReplay::Start() {
    rules_.StartRun();
    rates_.Reset();
    return stepper_.Start(0);
}

std::optional<tStepTrace> tScenarioReplay::Step(double time, const tReadingValues& readings) {
    rules_.See(readings);
    const auto t = static_cast<float>(time);
    return stepper_.Step(time, experimentValues(readings, rates_.Add(t, readings)));
}

}  // namespace vantrel
