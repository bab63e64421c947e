#pragma once

// A stand-in for the script interpreter: "NewState" is a C++ function given
// by the test, and every call is recorded.

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/Error.h"
#include "experiment/Experiment.h"
#include "script/ScriptProgramInterface.h"

namespace vantrel::test {

class tFakeProgram : public iScriptProgram {
public:
    using tNewState = std::function<int(const std::vector<tScriptArg>& args)>;

    struct tLog {
        std::string source;
        int compiles = 0;
        std::vector<std::vector<tScriptArg>> calls;
    };

    explicit tFakeProgram(tNewState newState, std::shared_ptr<tLog> log = nullptr,
                          std::string compileError = {})
        : newState_(std::move(newState)),
          log_(log ? std::move(log) : std::make_shared<tLog>()),
          compileError_(std::move(compileError)) {}

    void SetSource(std::string source) override { log_->source = std::move(source); }
    void Compile() override {
        ++log_->compiles;
        if (!compileError_.empty()) {
            throw tError(compileError_);
        }
    }
    int Call(std::string_view function, std::span<const tScriptArg> args) override {
        if (function != "NewState") {
            throw tError("Unknown function " + std::string(function));
        }
        std::vector<tScriptArg> copy(args.begin(), args.end());
        log_->calls.push_back(copy);
        return newState_(copy);
    }

private:
    tNewState newState_;
    std::shared_ptr<tLog> log_;
    std::string compileError_;
};

// States 0..names.size()-1 with the given actions.
inline tScenarioModel makeScenario(
    std::string name, int startState, std::set<int> finals,
    const std::vector<std::pair<std::string, std::vector<std::string>>>& states) {
    tScenarioModel model;
    model.name = std::move(name);
    model.startState = startState;
    model.finalStates = std::move(finals);
    int number = 0;
    for (const auto& [stateName, actions] : states) {
        model.states.push_back(std::make_unique<tState>(number++, stateName, actions));
    }
    return model;
}

}  // namespace vantrel::test
