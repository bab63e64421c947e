#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "script/Code.h"
#include "script/Machine.h"
#include "script/ScriptProgramInterface.h"

namespace vantrel {

// The scenario script interpreter: a unit in the teachers' Pascal dialect,
// compiled once to the machine's code and called by routine name.
//
// The dialect: "unit Name; [interface ... implementation] ... end." with
// uses (ignored), const and var sections, functions and procedures (value,
// var and const parameters, forward declarations, calls to routines
// declared later), an initialization part; if, case (lists, ranges, else
// or otherwise), for, while, repeat, exit, break, continue; the types
// Integer, Cardinal, Int64, Byte, Word, Real, Single, Double, Extended,
// Boolean, String and Variant; the built-ins of Builtins.h plus Inc and
// Dec. Two Integers compute in 32 bits and an overflow is a fault, as in
// Delphi with overflow checks on; an Int64 operand makes it 64. Not taken:
// arrays, records, sets, type sections, nested routines, with and goto
// (each refused with its own message). The finalization part is checked
// but never run, since a unit is never unloaded. Text after the final
// "end." is the author's own and never read.
//
// A unit sees its arguments and the built-ins, nothing of the machine. Each
// call has a step budget (10 million operations unless set), a depth limit
// (1000 routines active at once) and limits on strings (1 MB each, 64 MB
// built per call); the initialization part runs under the same limits.
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
