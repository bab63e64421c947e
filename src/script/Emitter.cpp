#include "script/Emitter.h"

#include <algorithm>
#include <utility>

#include "base/Error.h"
#include "script/Compiler.h"

namespace vantrel {

void tScriptEmitter::Begin(tScriptFunction& fn, std::string routineName) {
    fn_ = &fn;
    routineName_ = std::move(routineName);
    nextReg_ = 1;
    fn.frameSize = 1;
}

void tScriptEmitter::Fail(tScriptPos pos, const std::string& reason) const {
    throw tError(scriptErrorText(unitName_, routineName_, pos, reason));
}

int tScriptEmitter::Emit(tScriptOpCode code, tScriptPos pos, int a, int b, int c,
                         std::uint8_t sub) {
    fn_->code.push_back(tScriptOp{code, sub, a, b, c});
    fn_->positions.push_back(pos);
    return static_cast<int>(fn_->code.size()) - 1;
}

void tScriptEmitter::JumpTo(tScriptLabel& label, int op) {
    if (label.at >= 0) {
        fn_->code[static_cast<std::size_t>(op)].a = label.at;
    } else {
        label.uses.push_back(op);
    }
}

void tScriptEmitter::Bind(tScriptLabel& label) {
    label.at = Here();
    for (int op : label.uses) {
        fn_->code[static_cast<std::size_t>(op)].a = label.at;
    }
    label.uses.clear();
}

void tScriptEmitter::Rewind(const tMark& mark) {
    fn_->code.resize(mark.code);
    fn_->positions.resize(mark.code);
    fn_->constants.resize(mark.constants);
}

void tScriptEmitter::growFrame(tScriptPos pos) {
    if (nextReg_ > tScriptCompiler::kMaxFrameSize) {
        Fail(pos, "routine needs more than " + std::to_string(tScriptCompiler::kMaxFrameSize) +
                      " registers");
    }
    fn_->frameSize = std::max(fn_->frameSize, nextReg_);
}

int tScriptEmitter::NewRegister(tScriptPos pos) {
    const int reg = nextReg_++;
    growFrame(pos);
    return reg;
}

int tScriptEmitter::Reserve(int count) {
    const int first = nextReg_;
    nextReg_ += count;
    growFrame(fn_->pos);
    return first;
}

int tScriptEmitter::Constant(tScriptValue value) {
    fn_->constants.push_back(std::move(value));
    return static_cast<int>(fn_->constants.size()) - 1;
}

}  // namespace vantrel
