#include "experiment/Experiment.h"

#include <array>
#include <exception>
#include <utility>

#include "base/Error.h"
#include "base/LogFile.h"

namespace vantrel {

tExperiment::tExperiment() = default;

tExperiment::~tExperiment() {
    currentState_ = nullptr;
    startState_ = -1;
    status_ = esEmpty;
}

void tExperiment::Load(tScenarioModel model, std::unique_ptr<iScriptProgram> program,
                       std::string source) {
    Close();
    name_ = std::move(model.name);
    startState_ = model.startState;
    finalStates_ = std::move(model.finalStates);
    states_ = std::move(model.states);
    if (program == nullptr) {
        throw tError("No script interpreter for the scenario");
    }
    program_ = std::move(program);
    program_->SetSource(std::move(source));
    try {
        program_->Compile();
    } catch (const std::exception& e) {
        logFile->WriteLine(e.what());
        failed_ = true;
        throw;
    }
    status_ = esLoaded;
}

void tExperiment::Close() {
    name_.clear();
    status_ = esEmpty;
    startState_ = -1;
    finalStates_.clear();
    currentState_ = nullptr;
    states_.clear();
    failed_ = false;
}

tState* tExperiment::Start() {
    if (status_ == esLoaded) {
        currentState_ = FindState(startState_);
        status_ = esRunning;
    }
    return currentState_;
}

void tExperiment::Stop() {
    if (currentState_ != nullptr) {
        currentState_ = nullptr;
        status_ = esLoaded;
    }
}

bool tExperiment::Update(std::span<const float> values) {
    if (failed_) {
        return false;
    }
    if (currentState_ == nullptr || program_ == nullptr) {
        fail("Can not update state machine");
    }
    const int current = currentState_->Number();
    if (finalStates_.count(current) != 0) {
        status_ = esFinished;
        return false;
    }
    if (values.size() > static_cast<std::size_t>(kMaxUpdateCount)) {
        fail("Too many arguments");
    }
    // The state number, the values, and two empty places at the end.
    std::array<tScriptArg, kMaxUpdateCount + 3> args;
    args[0] = tScriptArg::Integer(current);
    for (std::size_t i = 0; i < values.size(); ++i) {
        args[i + 1] = tScriptArg::Real(values[i]);
    }
    int next = 0;
    try {
        next = program_->Call("NewState", std::span(args.data(), values.size() + 3));
    } catch (const std::exception& e) {
        logFile->WriteLine(e.what());
        failed_ = true;
        throw;
    }
    if (next == current) {
        return false;
    }
    currentState_ = FindState(next);
    if (currentState_ == nullptr) {
        fail("Error while transition from state #" + std::to_string(current) + " to state #" +
             std::to_string(next) + ".");
    }
    return true;
}

tState* tExperiment::FindState(int number) const {
    for (const auto& state : states_) {
        if (state->Number() == number) {
            return state.get();
        }
    }
    return nullptr;
}

void tExperiment::fail(const std::string& message) {
    logFile->WriteLine(message);
    failed_ = true;
    throw tError(message);
}

}  // namespace vantrel
