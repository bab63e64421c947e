#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "script/Code.h"
#include "script/Value.h"

namespace vantrel {

// Runs compiled routines. Script calls do not recurse on the native stack:
// frames live in one value stack, so a runaway recursion can only reach the
// depth limit. Budgets turn endless loops, deep recursion and growing
// strings into errors.
class tScriptMachine {
public:
    static constexpr std::int64_t kDefaultStepBudget = 10'000'000;
    static constexpr int kDefaultDepthLimit = 1000;
    // Registers of all active frames together.
    static constexpr std::size_t kMaxStackSize = std::size_t{1} << 20;
    // Bytes of strings one call may build, on top of the length limit of
    // each string: bounds both the time and the memory strings take.
    static constexpr std::size_t kStringAllowance = std::size_t{64} << 20;

    // `code` must outlive the machine.
    explicit tScriptMachine(const tScriptCode& code);

    // Globals back to their values after the compile.
    void ResetGlobals();

    // Runs routine `function` with `args` bound to its parameters in order
    // (surplus ones ignored, missing ones empty) and returns its result.
    // tError with routine, position and reason when it fails.
    tScriptValue Run(int function, std::span<const tScriptValue> args);

    // A step is one operation of the compiled form.
    void SetStepBudget(std::int64_t steps) { stepBudget_ = steps; }
    std::int64_t StepBudget() const { return stepBudget_; }
    void SetDepthLimit(int depth) { depthLimit_ = depth; }
    int DepthLimit() const { return depthLimit_; }
    // Steps the last Run took.
    std::int64_t StepsUsed() const { return stepBudget_ - stepsLeft_; }

private:
    struct tFrame {
        const tScriptFunction* fn;
        const tScriptOp* pc;
        std::size_t base;
    };

    void execute(const tScriptFunction*& fn, const tScriptOp*& pc, std::size_t& base);
    void bind(const tScriptFunction& fn, std::span<const tScriptValue> args, std::size_t& base);
    tScriptValue& deref(std::int64_t ref);
    void assign(tScriptValue& to, const tScriptValue& from);
    void charge(std::size_t bytes);

    const tScriptCode& code_;
    std::vector<tScriptValue> stack_;
    std::vector<tScriptValue> globals_;
    std::vector<tFrame> frames_;
    std::int64_t stepBudget_ = kDefaultStepBudget;
    std::int64_t stepsLeft_ = 0;
    int depthLimit_ = kDefaultDepthLimit;
    std::size_t stringBytes_ = 0;
};

}  // namespace vantrel
