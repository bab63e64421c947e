#include "script/Expressions.h"

#include <limits>
#include <utility>

#include "script/Fault.h"

namespace vantrel {

namespace {

using T = tScriptType;
using Op = tScriptOpCode;
using O = tScriptOperator;
using EK = tScriptExpr::tKind;

bool isRelational(O op) {
    return tScriptOperators::IsRelational(op);
}

// Whether `e` is a Boolean whatever its operands: "and" and "or" on it
// short-circuit in a condition.
bool surelyBoolean(const tScriptExpr& e) {
    if (e.kind == EK::Binary) {
        if (isRelational(e.op)) {
            return true;
        }
        if (e.op == O::And || e.op == O::Or) {
            return surelyBoolean(*e.items[0]) || surelyBoolean(*e.items[1]);
        }
    }
    return e.kind == EK::Unary && e.op == O::Not && surelyBoolean(*e.items[0]);
}

}  // namespace

tScriptExpressions::tScriptExpressions(tScriptEmitter& emitter, const tScriptScopes& scopes,
                                       tScriptTypeRules& rules)
    : emitter_(emitter), scopes_(scopes), rules_(rules) {}

int tScriptExpressions::emit(Op code, tScriptPos pos, int a, int b, int c, std::uint8_t sub) {
    return emitter_.Emit(code, pos, a, b, c, sub);
}

void tScriptExpressions::failAt(tScriptPos pos, const std::string& reason) const {
    emitter_.Fail(pos, reason);
}

// The value of a variable or constant symbol.
tScriptOperand tScriptExpressions::read(const tScriptSymbol& symbol, int hint, tScriptPos pos) {
    const T cls = scriptClassOf(symbol.type);
    switch (symbol.kind) {
        case tScriptSymbol::tKind::Const: {
            tScriptOperand v = tScriptOperand::Constant(symbol.value, cls);
            v.intType = symbol.intType;
            return v;
        }
        case tScriptSymbol::tKind::Local:
            return tScriptOperand::InRegister(cls, symbol.index, symbol.type);
        case tScriptSymbol::tKind::RefParam:
        case tScriptSymbol::tKind::Global: {
            const int reg = emitter_.Target(hint, pos);
            const bool global = symbol.kind == tScriptSymbol::tKind::Global;
            emit(global ? Op::LoadGlobal : Op::LoadRef, pos, reg, symbol.index);
            return tScriptOperand::InRegister(cls, reg, symbol.type);
        }
    }
    return {};
}

tScriptOperand tScriptExpressions::name(const tScriptExpr& e, int hint) {
    const std::string key = tScriptScopes::Key(e.text);
    if (const tScriptSymbol* symbol = scopes_.FindVariable(key)) {
        return read(*symbol, hint, e.pos);
    }
    if (scopes_.FindRoutine(key) != nullptr || tScriptBuiltins::Find(key) != nullptr ||
        key == "inc" || key == "dec") {
        return Call(e, hint, false);
    }
    if (const tScriptSymbol* symbol = scopes_.FindPredefined(key)) {
        return read(*symbol, hint, e.pos);
    }
    failAt(e.pos, "undeclared identifier '" + e.text + "'");
}

tScriptOperand tScriptExpressions::Value(const tScriptExpr& e, int hint) {
    switch (e.kind) {
        case EK::Integer:
            return tScriptOperand::Constant(tScriptValue::Integer(e.integer), T::Int64);
        case EK::Real:
            return tScriptOperand::Constant(tScriptValue::Real(e.real), T::Real);
        case EK::String:
            return tScriptOperand::Constant(tScriptValue::String(e.text), T::String);
        case EK::Name:
            return name(e, hint);
        case EK::Call:
            return Call(e, hint, false);
        case EK::Unary:
            return unary(e, hint);
        case EK::Binary:
            if (e.op == O::And || e.op == O::Or) {
                return logical(e, hint);
            }
            return binary(e, Value(*e.items[0]), hint);
    }
    return {};
}

tScriptOperand tScriptExpressions::unary(const tScriptExpr& e, int hint) {
    tScriptOperand v = Value(*e.items[0]);
    const tScriptTypeRules::tUnaryOperation u = rules_.Unary(e.op, v, e.pos);
    if (v.isConst) {
        if (std::optional<tScriptOperand> folded =
                rules_.Fold(e.op, v, nullptr, v.type, u.width, e.pos)) {
            folded->intType = u.type;
            return *std::move(folded);
        }
    }
    const int source = rules_.Place(v, e.pos);
    const int reg = emitter_.Target(hint, e.pos);
    emit(u.code, e.pos, reg, source, 0, u.sub);
    tScriptOperand result = tScriptOperand::InRegister(v.type, reg);
    result.intType = u.type;
    return result;
}

// A binary operator other than a short-circuit one, its left operand
// already evaluated.
tScriptOperand tScriptExpressions::binary(const tScriptExpr& e, tScriptOperand left, int hint) {
    tScriptOperand right = Value(*e.items[1]);
    const tScriptTypeRules::tOperation& p = rules_.Binary(e.op, left.type, right.type, e.pos);
    const T width = tScriptTypeRules::Width(p, left, right);
    const T type = tScriptTypeRules::IntegerType(p, left, right);
    if (left.isConst && right.isConst) {
        if (std::optional<tScriptOperand> folded =
                rules_.Fold(e.op, left, &right, p.result, width, e.pos)) {
            folded->intType = type;
            return *std::move(folded);
        }
    }
    const std::uint8_t sub = tScriptTypeRules::SubOf(p, e.op, width);
    const int a = rules_.AsClass(std::move(left), p.operands, e.pos);
    const int b = rules_.AsClass(std::move(right), p.operands, e.pos);
    const int reg = emitter_.Target(hint, e.pos);
    emit(tScriptTypeRules::CodeFor(p, width), e.pos, reg, a, b, sub);
    tScriptOperand result = tScriptOperand::InRegister(p.result, reg);
    result.intType = type;
    return result;
}

// "and" and "or": short-circuit on booleans, bitwise on integers.
tScriptOperand tScriptExpressions::logical(const tScriptExpr& e, int hint) {
    const bool isAnd = e.op == O::And;
    // A fresh register, not the hint: the hint may be a variable the
    // right side reads.
    const int reg = emitter_.NewRegister(e.pos);
    tScriptOperand left = Value(*e.items[0], reg);
    if (left.type != T::Boolean) {
        return binary(e, std::move(left), hint);
    }
    if (left.isConst) {
        const tScriptEmitter::tMark mark = emitter_.Mark();
        tScriptOperand right = Value(*e.items[1], hint);
        checkBooleanOperand(e, right);
        if (left.value.b != isAnd) {
            // "False and ..." / "True or ...": the right side never runs.
            emitter_.Rewind(mark);
            return left;
        }
        if (right.type == T::Variant) {
            const int target = emitter_.Target(hint, e.pos);
            rules_.ConvertInto(std::move(right), T::Boolean, target, e.pos);
            return tScriptOperand::InRegister(T::Boolean, target);
        }
        return right;
    }
    rules_.ConvertInto(std::move(left), T::Boolean, reg, e.pos);
    tScriptLabel done;
    emitter_.JumpTo(done, emit(isAnd ? Op::JumpIfFalse : Op::JumpIfTrue, e.pos, 0, reg));
    tScriptOperand right = Value(*e.items[1], reg);
    checkBooleanOperand(e, right);
    rules_.ConvertInto(std::move(right), T::Boolean, reg, e.pos);
    emitter_.Bind(done);
    return tScriptOperand::InRegister(T::Boolean, reg);
}

void tScriptExpressions::checkBooleanOperand(const tScriptExpr& e,
                                             const tScriptOperand& right) const {
    if (right.type != T::Boolean && right.type != T::Variant) {
        rules_.BadOperands(e.op, T::Boolean, right.type, e.pos);
    }
}

// Jumps to `label` when `e` is `when`, falls through otherwise.
void tScriptExpressions::JumpIf(const tScriptExpr& e, bool when, tScriptLabel& label) {
    if (e.kind == EK::Binary && (e.op == O::And || e.op == O::Or) && surelyBoolean(e)) {
        const bool isAnd = e.op == O::And;
        if (isAnd != when) {
            // and/false, or/true: either side decides alone.
            JumpIf(*e.items[0], when, label);
            JumpIf(*e.items[1], when, label);
        } else {
            tScriptLabel skip;
            JumpIf(*e.items[0], !when, skip);
            JumpIf(*e.items[1], when, label);
            emitter_.Bind(skip);
        }
        return;
    }
    if (e.kind == EK::Unary && e.op == O::Not && surelyBoolean(*e.items[0])) {
        JumpIf(*e.items[0], !when, label);
        return;
    }
    if (e.kind == EK::Binary && isRelational(e.op)) {
        tScriptOperand left = Value(*e.items[0]);
        tScriptOperand right = Value(*e.items[1]);
        const tScriptTypeRules::tOperation& p = rules_.Binary(e.op, left.type, right.type, e.pos);
        if (left.isConst && right.isConst) {
            if (std::optional<tScriptOperand> folded =
                    rules_.Fold(e.op, left, &right, T::Boolean, T::None, e.pos)) {
                if (folded->value.b == when) {
                    emitter_.JumpTo(label, emit(Op::Jump, e.pos));
                }
                return;
            }
        }
        const int a = rules_.AsClass(std::move(left), p.operands, e.pos);
        const int b = rules_.AsClass(std::move(right), p.operands, e.pos);
        if (p.jump != Op::Return) {
            const auto sub = static_cast<std::uint8_t>(static_cast<std::uint8_t>(e.op) |
                                                       (when ? 0 : kScriptJumpUnless));
            emitter_.JumpTo(label, emit(p.jump, e.pos, 0, a, b, sub));
            return;
        }
        const int reg = emitter_.NewRegister(e.pos);
        emit(p.code, e.pos, reg, a, b, static_cast<std::uint8_t>(e.op));
        emitter_.JumpTo(label, emit(when ? Op::JumpIfTrue : Op::JumpIfFalse, e.pos, 0, reg));
        return;
    }
    tScriptOperand v = Value(e);
    if (v.type != T::Boolean && v.type != T::Variant) {
        failAt(e.pos,
               std::string("Boolean expression expected, found '") + scriptTypeName(v.type) + "'");
    }
    if (v.isConst) {
        if (v.value.b == when) {
            emitter_.JumpTo(label, emit(Op::Jump, e.pos));
        }
        return;
    }
    const int reg = rules_.AsClass(std::move(v), T::Boolean, e.pos);
    emitter_.JumpTo(label, emit(when ? Op::JumpIfTrue : Op::JumpIfFalse, e.pos, 0, reg));
}

void tScriptExpressions::wrongCount(const tScriptExpr& e, const std::string& expected,
                                    std::size_t given) const {
    failAt(e.pos, "wrong number of arguments for '" + e.text + "': " + expected + " expected, " +
                      std::to_string(given) + " given");
}

tScriptOperand tScriptExpressions::Call(const tScriptExpr& e, int hint, bool statement) {
    const std::string key = tScriptScopes::Key(e.text);
    if (scopes_.FindVariable(key) != nullptr) {
        failAt(e.pos, "'" + e.text + "' is not a routine");
    }
    if (const tScriptRoutineInfo* info = scopes_.FindRoutine(key)) {
        return userCall(*info, e, statement);
    }
    if (key == "inc" || key == "dec") {
        if (!statement) {
            failAt(e.pos, "a procedure call has no value");
        }
        incDec(e, key == "inc");
        return {};
    }
    if (const tScriptBuiltins::tInfo* info = tScriptBuiltins::Find(key)) {
        return builtinCall(*info, e, hint);
    }
    failAt(e.pos, "undeclared identifier '" + e.text + "'");
}

tScriptOperand tScriptExpressions::userCall(const tScriptRoutineInfo& info, const tScriptExpr& e,
                                            bool statement) {
    if (e.items.size() != info.params.size()) {
        wrongCount(e, std::to_string(info.params.size()), e.items.size());
    }
    if (!statement && info.result == T::None) {
        failAt(e.pos, "procedure '" + info.name + "' has no value");
    }
    const int base = emitter_.Reserve(static_cast<int>(info.params.size()) + 1);
    for (std::size_t k = 0; k < info.params.size(); ++k) {
        const tScriptParamInfo& param = info.params[k];
        const tScriptExpr& arg = *e.items[k];
        const int slot = base + 1 + static_cast<int>(k);
        if (param.byRef) {
            passByReference(param, arg, slot);
        } else {
            rules_.ConvertInto(Value(arg, slot), param.type, slot, arg.pos);
        }
    }
    emit(Op::Call, e.pos, base, info.function);
    return tScriptOperand::InRegister(scriptClassOf(info.result), base, info.result);
}

void tScriptExpressions::passByReference(const tScriptParamInfo& param, const tScriptExpr& arg,
                                         int slot) {
    const tScriptSymbol* symbol =
        arg.kind == EK::Name ? scopes_.FindVariable(tScriptScopes::Key(arg.text)) : nullptr;
    if (symbol == nullptr || symbol->kind == tScriptSymbol::tKind::Const) {
        failAt(arg.pos, "a variable is expected for var parameter '" + param.name + "'");
    }
    if (symbol->readOnly) {
        failAt(arg.pos, "cannot pass constant parameter '" + arg.text + "' by reference");
    }
    if (symbol->type != param.type) {
        failAt(arg.pos, std::string("var parameter '") + param.name + "' needs a " +
                            scriptTypeName(param.type) + " variable, '" + arg.text + "' is " +
                            scriptTypeName(symbol->type));
    }
    const Op code = symbol->kind == tScriptSymbol::tKind::Local    ? Op::MakeRef
                    : symbol->kind == tScriptSymbol::tKind::Global ? Op::MakeGlobalRef
                                                                   : Op::MoveScalar;
    emit(code, arg.pos, slot, symbol->index);
}

tScriptOperand tScriptExpressions::builtinCall(const tScriptBuiltins::tInfo& first,
                                               const tScriptExpr& e, int hint) {
    if (e.items.size() != static_cast<std::size_t>(first.count)) {
        wrongCount(e, std::to_string(first.count), e.items.size());
    }
    std::vector<tScriptOperand> args;
    bool allConst = true;
    bool allInts = true;
    for (const tScriptExprPtr& arg : e.items) {
        args.push_back(Value(*arg));
        allConst = allConst && args.back().isConst;
        allInts = allInts && args.back().type == T::Int64;
    }
    const tScriptBuiltins::tInfo& info = first.integerForm && !allInts ? (&first)[1] : first;
    for (std::size_t k = 0; k < args.size(); ++k) {
        rules_.CheckAssignable(info.params[k], args[k], e.items[k]->pos);
    }
    const T type = tScriptTypeRules::BuiltinType(info, args);
    if (allConst) {
        if (std::optional<tScriptOperand> folded = foldBuiltin(info, args, e)) {
            folded->intType = type;
            return *std::move(folded);
        }
    }
    const int reg = emitter_.Target(hint, e.pos);
    tScriptOperand result = tScriptOperand::InRegister(info.result, reg);
    result.intType = type;
    // One argument already in a register of its class is read in place.
    if (args.size() == 1 && !args[0].isConst && args[0].type == info.params[0]) {
        emit(Op::Builtin, e.pos, reg, args[0].reg, static_cast<int>(info.id));
        return result;
    }
    const int base = emitter_.Reserve(static_cast<int>(args.size()));
    for (std::size_t k = 0; k < args.size(); ++k) {
        rules_.ConvertInto(std::move(args[k]), info.params[k], base + static_cast<int>(k),
                           e.items[k]->pos);
    }
    emit(Op::Builtin, e.pos, reg, base, static_cast<int>(info.id));
    return result;
}

// A built-in on constants. No constant when it fails: the call fails
// when it runs, as it would on any argument, and only if it runs.
std::optional<tScriptOperand> tScriptExpressions::foldBuiltin(
    const tScriptBuiltins::tInfo& info, const std::vector<tScriptOperand>& args,
    const tScriptExpr& e) const {
    std::vector<tScriptValue> values;
    for (std::size_t k = 0; k < args.size(); ++k) {
        values.push_back(rules_.ConvertConst(args[k], info.params[k], e.items[k]->pos));
    }
    tScriptValue out;
    try {
        tScriptBuiltins::Run(info.id, values.data(), out);
        if (out.kind == tScriptValue::tKind::Real) {
            scriptCheckReal(out.r);
        }
    } catch (const tScriptFault&) {
        return std::nullopt;
    }
    tScriptOperand v = tScriptOperand::Constant(std::move(out), info.result);
    v.fromCall = true;
    return v;
}

// Stores register `reg` (already of the place's type) into the place.
void tScriptExpressions::Store(const tScriptScopes::tPlace& place, int reg, tScriptPos pos) {
    if (place.kind == tScriptSymbol::tKind::Global) {
        emit(Op::StoreGlobal, pos, place.index, reg);
    } else if (place.kind == tScriptSymbol::tKind::RefParam) {
        emit(Op::StoreRef, pos, place.index, reg);
    }
}

void tScriptExpressions::incDec(const tScriptExpr& e, bool increment) {
    if (e.items.empty() || e.items.size() > 2) {
        wrongCount(e, "1 or 2", e.items.size());
    }
    const tScriptExpr& var = *e.items[0];
    if (var.kind != EK::Name) {
        failAt(var.pos, "a variable is expected for '" + e.text + "'");
    }
    const tScriptScopes::tPlace place = scopes_.Assignable(var.text, var.pos);
    if (scriptClassOf(place.type) != T::Int64) {
        failAt(var.pos, "'" + e.text + "' needs an integer variable, '" + var.text + "' is " +
                            scriptTypeName(place.type));
    }
    int reg = place.index;
    if (place.kind != tScriptSymbol::tKind::Local) {
        reg = emitter_.NewRegister(e.pos);
        const bool global = place.kind == tScriptSymbol::tKind::Global;
        emit(global ? Op::LoadGlobal : Op::LoadRef, e.pos, reg, place.index);
    }
    tScriptOperand step = e.items.size() == 2
                              ? Value(*e.items[1])
                              : tScriptOperand::Constant(tScriptValue::Integer(1), T::Int64);
    rules_.CheckAssignable(T::Int64, step, e.items.size() == 2 ? e.items[1]->pos : e.pos);
    constexpr std::int64_t kImmediate = std::numeric_limits<std::int32_t>::max();
    if (step.isConst && step.value.kind == tScriptValue::tKind::Integer &&
        step.value.i >= -kImmediate && step.value.i <= kImmediate) {
        const auto amount = static_cast<int>(step.value.i);
        emit(Op::AddIntImm, e.pos, reg, reg, increment ? amount : -amount);
    } else {
        const int amount = rules_.AsClass(std::move(step), T::Int64, e.pos);
        emit(increment ? Op::AddInt : Op::SubInt, e.pos, reg, reg, amount);
    }
    if (!tScriptTypeRules::RangeContains(place.type, T::Int64)) {
        emit(Op::CheckRange, e.pos, reg, 0, 0, static_cast<std::uint8_t>(place.type));
    }
    Store(place, reg, e.pos);
}

}  // namespace vantrel
