#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "script/Code.h"
#include "script/Machine.h"
#include "script/ScriptProgram.h"

namespace vantrel {

// The scenario script interpreter: a unit in the teachers' Pascal dialect,
// compiled once to the machine's code and called by routine name.
class tScriptProgram : public iScriptProgram {
public:
    tScriptProgram();
    ~tScriptProgram() override;

    // Drops the compiled unit: Call fails until the next Compile.
    void SetSource(std::string source) override;
    // Compiles the source, resets the globals and runs the initialization
    // part; tError with the first fault.
    void Compile() override;
    int Call(std::string_view function, std::span<const tScriptArg> args) override;

    // Limits of every later call (and of the initialization part).
    void SetStepBudget(std::int64_t steps);
    void SetCallDepthLimit(int depth);
    // Steps the last call took.
    std::int64_t StepsUsed() const;

    // Names of the routines Call can reach (empty before a compile).
    std::vector<std::string> Routines() const;

    // The routine's result as it is, for callers that need more than a
    // state number.
    tScriptValue CallValue(std::string_view function, std::span<const tScriptValue> args);

private:
    int routineIndex(std::string_view function);

    std::string source_;
    std::unique_ptr<tScriptCode> code_;
    std::unique_ptr<tScriptMachine> machine_;
    std::int64_t stepBudget_ = tScriptMachine::kDefaultStepBudget;
    int depthLimit_ = tScriptMachine::kDefaultDepthLimit;
    std::string cachedName_;  // the routine the last call found, as spelt
    int cachedIndex_ = -1;
    std::vector<tScriptValue> args_;
};

}  // namespace vantrel
