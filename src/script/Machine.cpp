#include "script/Machine.h"

#include <algorithm>
#include <new>

#include "base/Error.h"
#include "script/Builtins.h"
#include "script/Fault.h"

namespace vantrel {

namespace {

using Op = tScriptOpCode;

// The relational operator in a comparison's or a jump's `sub`.
inline tScriptOperator relationOf(std::uint8_t sub) {
    return static_cast<tScriptOperator>(sub & ~kScriptJumpUnless);
}

bool jumps(std::uint8_t sub, bool holds) {
    return holds != ((sub & kScriptJumpUnless) != 0);
}

void setZero(tScriptValue& v, tScriptType type) {
    v.kind = scriptKindOf(type);
    v.i = 0;
    v.r = 0;
    v.b = false;
    v.s.clear();
}

[[noreturn]] void tooLong() {
    throw tScriptFault("string longer than " + std::to_string(tScriptValue::kMaxStringLength) +
                       " characters");
}

// Stores a value handed over by Call as the parameter's type holds it, in
// place: the experiment passes seventeen values at every step.
void loadArgument(tScriptValue& slot, const tScriptValue& value, tScriptType type) {
    switch (scriptClassOf(type)) {
        case tScriptType::Int64: {
            const std::int64_t v = value.ToInteger();
            std::int64_t low = 0;
            std::int64_t high = 0;
            if (scriptTypeRange(type, low, high) && (v < low || v > high)) {
                throw tScriptFault("value " + value.Describe() + " out of range for " +
                                   scriptTypeName(type));
            }
            slot.SetInteger(v);
            break;
        }
        case tScriptType::Real: {
            const double v = value.kind == tScriptValue::tKind::Real ? value.r : value.ToReal();
            slot.SetReal(type == tScriptType::Single ? scriptToSingle(v) : v);
            break;
        }
        case tScriptType::Boolean:
            slot.SetBoolean(value.ToBoolean());
            break;
        case tScriptType::String: {
            std::string text = value.ToString();
            slot.kind = tScriptValue::tKind::String;
            slot.s = std::move(text);
            break;
        }
        default:
            slot.kind = value.kind;
            slot.i = value.i;
            slot.r = value.r;
            slot.b = value.b;
            if (value.kind == tScriptValue::tKind::String) {
                slot.s = value.s;
            }
            break;
    }
}

// Two Integers' arithmetic, out of the machine's loop: scripts rarely
// spend their time there.
[[gnu::noinline]] std::int64_t integer32(tScriptOpCode code, std::int64_t a, std::int64_t b) {
    switch (code) {
        case Op::AddInt32:
            return scriptInteger32(scriptAdd(a, b));
        case Op::SubInt32:
            return scriptInteger32(scriptSubtract(a, b));
        case Op::MulInt32:
            return scriptInteger32(scriptMultiply(a, b));
        case Op::DivInt32:
            return scriptInteger32(scriptIntDiv(a, b));
        default:
            return scriptInteger32(scriptNegate(a));
    }
}

}  // namespace

tScriptMachine::tScriptMachine(const tScriptCode& code) : code_(code) {
    ResetGlobals();
}

void tScriptMachine::ResetGlobals() {
    globals_ = code_.globalStart;
}

tScriptValue& tScriptMachine::deref(std::int64_t ref) {
    return ref >= 0 ? stack_[static_cast<std::size_t>(ref)]
                    : globals_[static_cast<std::size_t>(~ref)];
}

void tScriptMachine::charge(std::size_t bytes) {
    stringBytes_ += bytes;
    if (stringBytes_ > kStringAllowance) {
        throw tScriptFault("strings of more than " + std::to_string(kStringAllowance >> 20) +
                           " MB built in one call");
    }
}

void tScriptMachine::assign(tScriptValue& to, const tScriptValue& from) {
    to.kind = from.kind;
    to.i = from.i;
    to.r = from.r;
    to.b = from.b;
    if (from.kind == tScriptValue::tKind::String && &to != &from) {
        charge(from.s.size());
        to.s = from.s;
    }
}

void tScriptMachine::bind(const tScriptFunction& fn, std::span<const tScriptValue> args,
                          std::size_t& base) {
    // Values for var parameters live below the frame, for the call only.
    std::size_t cells = 0;
    for (const tScriptParamInfo& param : fn.params) {
        cells += param.byRef ? 1 : 0;
    }
    base = cells;
    const std::size_t need = base + static_cast<std::size_t>(fn.frameSize);
    if (stack_.size() < need) {
        stack_.resize(need);
    }
    std::size_t cell = 0;
    static const tScriptValue kEmpty;
    for (std::size_t k = 0; k < fn.params.size(); ++k) {
        const tScriptParamInfo& param = fn.params[k];
        tScriptValue& slot = stack_[base + 1 + k];
        try {
            loadArgument(param.byRef ? stack_[cell] : slot, k < args.size() ? args[k] : kEmpty,
                         param.type);
        } catch (const tScriptFault& fault) {
            throw tError(scriptErrorText(
                code_.unitName, fn.name, fn.pos,
                "argument " + std::to_string(k + 1) + " (" + param.name + "): " + fault.what()));
        }
        if (param.byRef) {
            slot.SetInteger(static_cast<std::int64_t>(cell++));
        }
    }
}

tScriptValue tScriptMachine::Run(int function, std::span<const tScriptValue> args) {
    const tScriptFunction* fn = &code_.functions.at(static_cast<std::size_t>(function));
    std::size_t base = 0;
    bind(*fn, args, base);
    const std::size_t resultSlot = base;
    const tScriptOp* pc = fn->code.data();
    frames_.clear();
    stringBytes_ = 0;
    stepsLeft_ = stepBudget_;
    try {
        execute(fn, pc, base);
    } catch (const tScriptFault& fault) {
        const auto at = static_cast<std::size_t>(pc - fn->code.data()) - 1;
        throw tError(scriptErrorText(code_.unitName, fn->name, fn->positions[at], fault.what()));
    } catch (const std::bad_alloc&) {
        const auto at = static_cast<std::size_t>(pc - fn->code.data()) - 1;
        throw tError(scriptErrorText(code_.unitName, fn->name, fn->positions[at], "out of memory"));
    }
    return std::move(stack_[resultSlot]);
}

void tScriptMachine::execute(const tScriptFunction*& fn, const tScriptOp*& pc, std::size_t& base) {
    // The budget counts down in a local; the guard hands it back however
    // the loop ends.
    struct tSteps {
        std::int64_t& member;
        std::int64_t left;
        ~tSteps() { member = left; }
    } steps{stepsLeft_, stepsLeft_};

    tScriptValue* r = stack_.data() + base;
    tScriptValue* const g = globals_.data();
    const tScriptOp* code = fn->code.data();
    for (;;) {
        const tScriptOp& op = *pc++;
        if (--steps.left < 0) {
            steps.left = 0;
            throw tScriptFault("step budget of " + std::to_string(stepBudget_) +
                               " exhausted (endless loop?)");
        }
        switch (op.code) {
            case Op::MoveScalar: {
                tScriptValue& to = r[op.a];
                const tScriptValue& from = r[op.b];
                to.kind = from.kind;
                to.i = from.i;
                to.r = from.r;
                to.b = from.b;
                break;
            }
            case Op::MoveString:
            case Op::MoveValue:
                assign(r[op.a], r[op.b]);
                break;
            case Op::LoadConst:
                assign(r[op.a], fn->constants[static_cast<std::size_t>(op.b)]);
                break;
            case Op::LoadGlobal:
                assign(r[op.a], g[op.b]);
                break;
            case Op::StoreGlobal:
                assign(g[op.a], r[op.b]);
                break;
            case Op::LoadRef:
                assign(r[op.a], deref(r[op.b].i));
                break;
            case Op::StoreRef:
                assign(deref(r[op.a].i), r[op.b]);
                break;
            case Op::MakeRef:
                r[op.a].SetInteger(static_cast<std::int64_t>(base) + op.b);
                break;
            case Op::MakeGlobalRef:
                r[op.a].SetInteger(~static_cast<std::int64_t>(op.b));
                break;
            case Op::Init:
                setZero(r[op.a], static_cast<tScriptType>(op.sub));
                break;
            case Op::AddInt:
                r[op.a].SetInteger(scriptAdd(r[op.b].i, r[op.c].i));
                break;
            case Op::SubInt:
                r[op.a].SetInteger(scriptSubtract(r[op.b].i, r[op.c].i));
                break;
            case Op::MulInt:
                r[op.a].SetInteger(scriptMultiply(r[op.b].i, r[op.c].i));
                break;
            case Op::DivInt:
                r[op.a].SetInteger(scriptIntDiv(r[op.b].i, r[op.c].i));
                break;
            case Op::ModInt:
                r[op.a].SetInteger(scriptMod(r[op.b].i, r[op.c].i));
                break;
            case Op::AndInt:
                r[op.a].SetInteger(r[op.b].i & r[op.c].i);
                break;
            case Op::OrInt:
                r[op.a].SetInteger(r[op.b].i | r[op.c].i);
                break;
            case Op::XorInt:
                r[op.a].SetInteger(r[op.b].i ^ r[op.c].i);
                break;
            case Op::ShlInt: {
                const auto type = static_cast<tScriptType>(op.sub);
                r[op.a].SetInteger(
                    scriptShl(r[op.b].i, r[op.c].i, scriptTypeBits(type), scriptTypeSigned(type)));
                break;
            }
            case Op::ShrInt: {
                const auto type = static_cast<tScriptType>(op.sub);
                r[op.a].SetInteger(
                    scriptShr(r[op.b].i, r[op.c].i, scriptTypeBits(type), scriptTypeSigned(type)));
                break;
            }
            case Op::NegInt:
                r[op.a].SetInteger(scriptNegate(r[op.b].i));
                break;
            case Op::NotInt: {
                const auto type = static_cast<tScriptType>(op.sub);
                r[op.a].SetInteger(
                    scriptNot(r[op.b].i, scriptTypeBits(type), scriptTypeSigned(type)));
                break;
            }
            case Op::AddIntImm:
                r[op.a].SetInteger(scriptAdd(r[op.b].i, op.c));
                break;
            case Op::AddReal:
                r[op.a].SetReal(scriptCheckReal(r[op.b].r + r[op.c].r));
                break;
            case Op::SubReal:
                r[op.a].SetReal(scriptCheckReal(r[op.b].r - r[op.c].r));
                break;
            case Op::MulReal:
                r[op.a].SetReal(scriptCheckReal(r[op.b].r * r[op.c].r));
                break;
            case Op::DivReal:
                r[op.a].SetReal(scriptDivide(r[op.b].r, r[op.c].r));
                break;
            case Op::NegReal:
                r[op.a].SetReal(-r[op.b].r);
                break;
            case Op::IntToReal:
                r[op.a].SetReal(static_cast<double>(r[op.b].i));
                break;
            case Op::NotBool:
                r[op.a].SetBoolean(!r[op.b].b);
                break;
            case Op::XorBool:
                r[op.a].SetBoolean(r[op.b].b != r[op.c].b);
                break;
            case Op::Concat: {
                const std::string& x = r[op.b].s;
                const std::string& y = r[op.c].s;
                const std::size_t size = x.size() + y.size();
                if (size > tScriptValue::kMaxStringLength) {
                    tooLong();
                }
                charge(size);
                std::string joined;
                joined.reserve(size);
                joined += x;
                joined += y;
                r[op.a].kind = tScriptValue::tKind::String;
                r[op.a].s = std::move(joined);
                break;
            }
            case Op::CompareInt:
                r[op.a].SetBoolean(scriptRelation(relationOf(op.sub), r[op.b].i, r[op.c].i));
                break;
            case Op::CompareReal:
                r[op.a].SetBoolean(scriptRelation(relationOf(op.sub), r[op.b].r, r[op.c].r));
                break;
            case Op::CompareString:
                r[op.a].SetBoolean(scriptRelation(relationOf(op.sub), r[op.b].s, r[op.c].s));
                break;
            case Op::CompareBool:
                r[op.a].SetBoolean(scriptRelation(relationOf(op.sub), r[op.b].b, r[op.c].b));
                break;
            case Op::CompareValue:
                r[op.a].SetBoolean(
                    scriptCompare(static_cast<tScriptOperator>(op.sub), r[op.b], r[op.c]));
                break;
            case Op::JumpInt:
                if (jumps(op.sub, scriptRelation(relationOf(op.sub), r[op.b].i, r[op.c].i))) {
                    pc = code + op.a;
                }
                break;
            case Op::JumpReal:
                if (jumps(op.sub, scriptRelation(relationOf(op.sub), r[op.b].r, r[op.c].r))) {
                    pc = code + op.a;
                }
                break;
            case Op::JumpString:
                if (jumps(op.sub, scriptRelation(relationOf(op.sub), r[op.b].s, r[op.c].s))) {
                    pc = code + op.a;
                }
                break;
            case Op::Jump:
                pc = code + op.a;
                break;
            case Op::JumpIfTrue:
                if (r[op.b].b) {
                    pc = code + op.a;
                }
                break;
            case Op::JumpIfFalse:
                if (!r[op.b].b) {
                    pc = code + op.a;
                }
                break;
            case Op::Case: {
                const tScriptCaseTable& table = fn->cases[static_cast<std::size_t>(op.b)];
                const std::int64_t v = r[op.a].i;
                const auto after =
                    std::upper_bound(table.ranges.begin(), table.ranges.end(), v,
                                     [](std::int64_t x, const tScriptCaseTable::tRange& range) {
                                         return x < range.low;
                                     });
                pc = code + table.otherwise;
                if (after != table.ranges.begin() && v <= (after - 1)->high) {
                    pc = code + (after - 1)->target;
                }
                break;
            }
            case Op::ForUp:
                if (r[op.a].i < r[op.b].i) {
                    ++r[op.a].i;
                    pc = code + op.c;
                }
                break;
            case Op::ForDown:
                if (r[op.a].i > r[op.b].i) {
                    --r[op.a].i;
                    pc = code + op.c;
                }
                break;
            case Op::Binary:
                scriptApply(static_cast<tScriptOperator>(op.sub), r[op.b], r[op.c], r[op.a]);
                if (r[op.a].kind == tScriptValue::tKind::String) {
                    charge(r[op.a].s.size());
                }
                break;
            case Op::Unary:
                scriptApplyUnary(static_cast<tScriptOperator>(op.sub), r[op.b], r[op.a]);
                break;
            case Op::ToInteger:
                r[op.a].SetInteger(r[op.b].ToInteger());
                break;
            case Op::ToReal:
                r[op.a].SetReal(r[op.b].ToReal());
                break;
            case Op::ToBoolean:
                r[op.a].SetBoolean(r[op.b].ToBoolean());
                break;
            case Op::ToString: {
                std::string text = r[op.b].ToString();
                charge(text.size());
                r[op.a].kind = tScriptValue::tKind::String;
                r[op.a].s = std::move(text);
                break;
            }
            case Op::CheckRange: {
                const auto type = static_cast<tScriptType>(op.sub);
                std::int64_t low = 0;
                std::int64_t high = 0;
                scriptTypeRange(type, low, high);
                if (r[op.a].i < low || r[op.a].i > high) {
                    throw tScriptFault("value " + std::to_string(r[op.a].i) + " out of range for " +
                                       scriptTypeName(type));
                }
                break;
            }
            case Op::RoundSingle:
                r[op.a].r = scriptToSingle(r[op.a].r);
                break;
            case Op::Builtin:
                tScriptBuiltins::Run(static_cast<tScriptBuiltin>(op.c), r + op.b, r[op.a]);
                if (r[op.a].kind == tScriptValue::tKind::String) {
                    charge(r[op.a].s.size());
                }
                break;
            case Op::Call: {
                if (static_cast<int>(frames_.size()) + 1 >= depthLimit_) {
                    throw tScriptFault("more than " + std::to_string(depthLimit_) +
                                       " nested calls (endless recursion?)");
                }
                const tScriptFunction* callee = &code_.functions[static_cast<std::size_t>(op.b)];
                const std::size_t calleeBase = base + static_cast<std::size_t>(op.a);
                const std::size_t need = calleeBase + static_cast<std::size_t>(callee->frameSize);
                if (need > stack_.size()) {
                    if (need > kMaxStackSize) {
                        throw tScriptFault("script stack exhausted");
                    }
                    stack_.resize(std::min(kMaxStackSize, std::max(need, 2 * stack_.size())));
                }
                frames_.push_back({fn, pc, base});
                fn = callee;
                code = fn->code.data();
                pc = code;
                base = calleeBase;
                r = stack_.data() + base;
                break;
            }
            case Op::Return: {
                if (frames_.empty()) {
                    return;
                }
                const tFrame& back = frames_.back();
                fn = back.fn;
                pc = back.pc;
                base = back.base;
                frames_.pop_back();
                code = fn->code.data();
                r = stack_.data() + base;
                break;
            }
            case Op::AddInt32:
            case Op::SubInt32:
            case Op::MulInt32:
            case Op::DivInt32:
            case Op::NegInt32:
                r[op.a].SetInteger(integer32(op.code, r[op.b].i, r[op.c].i));
                break;
        }
    }
}

}  // namespace vantrel
