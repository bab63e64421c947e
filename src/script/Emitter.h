#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "script/Code.h"

namespace vantrel {

// A place in the code that jumps go to, bound once its position is known.
struct tScriptLabel {
    int at = -1;
    std::vector<int> uses;  // operations whose `a` jumps here
};

// Writes the code of one routine at a time: operations with their source
// positions, labels, registers and constants. It also names the routine in
// the compiler's messages, so every part fails through it.
class tScriptEmitter {
public:
    explicit tScriptEmitter(std::string unitName) : unitName_(std::move(unitName)) {}

    // Code goes to `fn` from now on; registers start again after the result.
    void Begin(tScriptFunction& fn, std::string routineName);
    tScriptFunction& Function() { return *fn_; }

    // tError ("unit.Routine(line:column): reason").
    [[noreturn]] void Fail(tScriptPos pos, const std::string& reason) const;

    int Emit(tScriptOpCode code, tScriptPos pos, int a = 0, int b = 0, int c = 0,
             std::uint8_t sub = 0);
    int Here() const { return static_cast<int>(fn_->code.size()); }

    // Operation `op` jumps to `label`, now or once it is bound.
    void JumpTo(tScriptLabel& label, int op);
    void Bind(tScriptLabel& label);

    // What has been emitted so far, to take back code that turned out never
    // to run.
    struct tMark {
        std::size_t code = 0;
        std::size_t constants = 0;
    };
    tMark Mark() const { return {fn_->code.size(), fn_->constants.size()}; }
    void Rewind(const tMark& mark);

    int NewRegister(tScriptPos pos);
    // `hint` when there is one, else a new register.
    int Target(int hint, tScriptPos pos) { return hint >= 0 ? hint : NewRegister(pos); }
    // `count` consecutive registers; the first of them.
    int Reserve(int count);
    // Registers from `first` on are free again (temporaries of a statement).
    int NextRegister() const { return nextReg_; }
    void Release(int first) { nextReg_ = first; }

    int Constant(tScriptValue value);

private:
    void growFrame(tScriptPos pos);

    std::string unitName_;
    std::string routineName_;
    tScriptFunction* fn_ = nullptr;
    int nextReg_ = 1;
};

}  // namespace vantrel
