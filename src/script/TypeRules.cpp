#include "script/TypeRules.h"

#include <array>
#include <initializer_list>
#include <limits>
#include <string>
#include <utility>

#include "script/Fault.h"

namespace vantrel {

namespace {

using T = tScriptType;
using Op = tScriptOpCode;
using O = tScriptOperator;
using tOperation = tScriptTypeRules::tOperation;
using tTable = std::array<tOperation, tScriptOperators::kBinaryCount>;

// ---- Operator tables, one per class of operands -----------------------

constexpr tTable makeTable(std::initializer_list<std::pair<O, tOperation>> entries, Op compare,
                           T cls, Op jump) {
    tTable table{};
    for (const auto& [op, operation] : entries) {
        table[static_cast<std::size_t>(op)] = operation;
    }
    for (auto op = static_cast<std::size_t>(O::Equal);
         op <= static_cast<std::size_t>(O::GreaterEqual); ++op) {
        table[op] = {compare, cls, T::Boolean, jump};
    }
    return table;
}

constexpr tTable kIntegerOperators = makeTable(
    {
        {O::Add, {Op::AddInt, T::Int64, T::Int64, Op::Return, Op::AddInt32}},
        {O::Subtract, {Op::SubInt, T::Int64, T::Int64, Op::Return, Op::SubInt32}},
        {O::Multiply, {Op::MulInt, T::Int64, T::Int64, Op::Return, Op::MulInt32}},
        {O::Divide, {Op::DivReal, T::Real, T::Real}},
        {O::IntDiv, {Op::DivInt, T::Int64, T::Int64, Op::Return, Op::DivInt32}},
        {O::Mod, {Op::ModInt, T::Int64, T::Int64}},
        {O::And, {Op::AndInt, T::Int64, T::Int64}},
        {O::Or, {Op::OrInt, T::Int64, T::Int64}},
        {O::Xor, {Op::XorInt, T::Int64, T::Int64}},
        {O::Shl, {Op::ShlInt, T::Int64, T::Int64}},
        {O::Shr, {Op::ShrInt, T::Int64, T::Int64}},
    },
    Op::CompareInt, T::Int64, Op::JumpInt);

// Reals, and an integer with a real: the integer widens.
constexpr tTable kRealOperators = makeTable(
    {
        {O::Add, {Op::AddReal, T::Real, T::Real}},
        {O::Subtract, {Op::SubReal, T::Real, T::Real}},
        {O::Multiply, {Op::MulReal, T::Real, T::Real}},
        {O::Divide, {Op::DivReal, T::Real, T::Real}},
    },
    Op::CompareReal, T::Real, Op::JumpReal);

constexpr tTable kStringOperators = makeTable({{O::Add, {Op::Concat, T::String, T::String}}},
                                              Op::CompareString, T::String, Op::JumpString);

// "and" and "or" on Booleans short-circuit: the compiler lays them out as
// jumps, never as an operation.
constexpr tTable kBooleanOperators = makeTable({{O::Xor, {Op::XorBool, T::Boolean, T::Boolean}}},
                                               Op::CompareBool, T::Boolean, Op::Return);

constexpr tTable variantOperators() {
    tTable table = makeTable({}, Op::CompareValue, T::Variant, Op::Return);
    for (std::size_t op = 0; op < table.size(); ++op) {
        if (!tScriptOperators::IsRelational(static_cast<O>(op))) {
            table[op] = {Op::Binary, T::Variant, T::Variant};
        }
    }
    return table;
}

// A Variant with anything: decided at run time.
constexpr tTable kVariantOperators = variantOperators();

// ---- Integer types --------------------------------------------------------

bool isShift(const tOperation& operation) {
    return operation.code == Op::ShlInt || operation.code == Op::ShrInt;
}

bool isNumeric(T cls) {
    return cls == T::Int64 || cls == T::Real;
}

bool isUnsigned(T type) {
    return type == T::Byte || type == T::Word || type == T::Cardinal;
}

// An operand's integer type: its own, or for an untyped constant the
// narrowest of Integer, Cardinal and Int64 that holds the value.
T intTypeOf(const tScriptOperand& v) {
    if (v.intType != T::None) {
        return v.intType;
    }
    if (v.isConst && v.value.kind == tScriptValue::tKind::Integer) {
        if (v.value.i >= std::numeric_limits<std::int32_t>::min() &&
            v.value.i <= std::numeric_limits<std::int32_t>::max()) {
            return T::Integer;
        }
        if (v.value.i >= 0 && v.value.i <= std::numeric_limits<std::uint32_t>::max()) {
            return T::Cardinal;
        }
    }
    return T::Int64;
}

bool untyped(const tScriptOperand& v) {
    return v.isConst && v.intType == T::None;
}

// What an operator on these operands gives: untyped constants give an
// untyped constant again, anything else `type`.
T resultType(const tScriptOperand& a, const tScriptOperand* b, T type) {
    return untyped(a) && (b == nullptr || untyped(*b)) ? T::None : type;
}

// Byte and Word widen to Integer; Cardinal and Int64 stay.
T promoted(T type) {
    return type == T::Int64 || type == T::Cardinal ? type : T::Integer;
}

// + - * div mod and or xor on integers. Cardinal with a signed operand
// widens to Int64, unless that operand is an untyped constant that fits.
T arithmeticType(const tScriptOperand& a, const tScriptOperand& b) {
    const T x = intTypeOf(a);
    const T y = intTypeOf(b);
    if (x == T::Int64 || y == T::Int64) {
        return T::Int64;
    }
    if (x != T::Cardinal && y != T::Cardinal) {
        return T::Integer;
    }
    const tScriptOperand& other = x == T::Cardinal ? b : a;
    const bool adapts = untyped(other) && other.value.i >= 0;
    return isUnsigned(x == T::Cardinal ? y : x) || adapts ? T::Cardinal : T::Int64;
}

// A constant's value in type `to`, its types already checked; `fault`
// says why when it does not fit.
tScriptValue constValueAs(const tScriptOperand& v, T to, std::string& fault) {
    tScriptValue value = v.value;
    if (scriptClassOf(to) == T::Real && value.kind == tScriptValue::tKind::Integer) {
        value = tScriptValue::Real(static_cast<double>(value.i));
    }
    std::int64_t low = 0;
    std::int64_t high = 0;
    if (scriptTypeRange(to, low, high) && (value.i < low || value.i > high)) {
        fault = "value " + value.Describe() + " out of range for " + scriptTypeName(to);
    } else if (to == T::Single) {
        try {
            value.r = scriptToSingle(value.r);
        } catch (const tScriptFault& f) {
            fault = f.what();
        }
    }
    return value;
}

}  // namespace

tScriptOperand tScriptOperand::InRegister(T cls, int reg, T declared) {
    tScriptOperand v;
    v.type = cls;
    v.declared = declared == T::None ? cls : declared;
    v.intType = cls == T::Int64 ? v.declared : T::None;
    v.reg = reg;
    return v;
}

tScriptOperand tScriptOperand::Constant(tScriptValue value, T cls) {
    tScriptOperand v;
    v.type = cls;
    v.declared = cls;
    v.isConst = true;
    v.value = std::move(value);
    return v;
}

// ---- Operators ------------------------------------------------------------

const tOperation& tScriptTypeRules::Binary(O op, T a, T b, tScriptPos pos) const {
    if (a == T::None || b == T::None) {
        emitter_.Fail(pos, "a procedure call has no value");
    }
    const tTable* table = a == T::Variant || b == T::Variant   ? &kVariantOperators
                          : a == T::Int64 && b == T::Int64     ? &kIntegerOperators
                          : isNumeric(a) && isNumeric(b)       ? &kRealOperators
                          : a == T::String && b == T::String   ? &kStringOperators
                          : a == T::Boolean && b == T::Boolean ? &kBooleanOperators
                                                               : nullptr;
    const auto index = static_cast<std::size_t>(op);
    if (table == nullptr || index >= table->size() || (*table)[index].code == Op::Return) {
        BadOperands(op, a, b, pos);
    }
    return (*table)[index];
}

tScriptTypeRules::tUnaryOperation tScriptTypeRules::Unary(O op, const tScriptOperand& v,
                                                          tScriptPos pos) const {
    const T cls = v.type;
    const bool negate = op == O::Negate;
    if (!(cls == T::Variant || cls == T::Int64 || (negate && cls == T::Real) ||
          (!negate && cls == T::Boolean))) {
        emitter_.Fail(pos, std::string("operator '") +
                               std::string(tScriptOperators::Get(op).spelling) +
                               "' cannot be applied to '" + scriptTypeName(cls) + "'");
    }
    tUnaryOperation u;
    switch (cls) {
        case T::Int64: {
            const T own = intTypeOf(v);
            // not keeps its operand's type; a negated Cardinal needs an Int64.
            const T negated = promoted(own) == T::Cardinal ? T::Int64 : promoted(own);
            u.code = !negate ? Op::NotInt : negated == T::Integer ? Op::NegInt32 : Op::NegInt;
            u.width = negate ? negated : own;
            u.type = resultType(v, nullptr, negate ? negated : own);
            u.sub = negate ? 0 : static_cast<std::uint8_t>(own);
            break;
        }
        case T::Real:
            u.code = Op::NegReal;
            break;
        case T::Boolean:
            u.code = Op::NotBool;
            break;
        default:
            u.code = Op::Unary;
            u.sub = static_cast<std::uint8_t>(op);
            break;
    }
    return u;
}

T tScriptTypeRules::Width(const tOperation& operation, const tScriptOperand& left,
                          const tScriptOperand& right) {
    if (isShift(operation)) {
        return promoted(intTypeOf(left));
    }
    return operation.narrow != Op::Return ? arithmeticType(left, right) : T::None;
}

Op tScriptTypeRules::CodeFor(const tOperation& operation, T width) {
    return width == T::Integer && operation.narrow != Op::Return ? operation.narrow
                                                                 : operation.code;
}

T tScriptTypeRules::IntegerType(const tOperation& operation, const tScriptOperand& left,
                                const tScriptOperand& right) {
    if (operation.result != T::Int64) {
        return T::None;
    }
    return resultType(left, &right,
                      isShift(operation) ? promoted(intTypeOf(left)) : arithmeticType(left, right));
}

std::uint8_t tScriptTypeRules::SubOf(const tOperation& operation, O op, T width) {
    if (isShift(operation)) {
        return static_cast<std::uint8_t>(width);
    }
    return operation.code == Op::Binary || tScriptOperators::IsRelational(op)
               ? static_cast<std::uint8_t>(op)
               : 0;
}

// Round and Trunc give an Int64, Abs, Sqr, Min and Max their arguments'
// type, the others an Integer.
T tScriptTypeRules::BuiltinType(const tScriptBuiltins::tInfo& info,
                                const std::vector<tScriptOperand>& args) {
    if (info.result != T::Int64) {
        return T::None;
    }
    switch (info.id) {
        case tScriptBuiltin::Round:
        case tScriptBuiltin::Trunc:
            return T::Int64;
        case tScriptBuiltin::AbsInt:
        case tScriptBuiltin::SqrInt:
            return resultType(args[0], nullptr, promoted(intTypeOf(args[0])));
        case tScriptBuiltin::MinInt:
        case tScriptBuiltin::MaxInt:
            return resultType(args[0], &args[1], arithmeticType(args[0], args[1]));
        default:
            return T::Integer;
    }
}

void tScriptTypeRules::BadOperands(O op, T a, T b, tScriptPos pos) const {
    emitter_.Fail(pos, std::string("operator '") + std::string(tScriptOperators::Get(op).spelling) +
                           "' cannot combine '" + scriptTypeName(a) + "' and '" +
                           scriptTypeName(b) + "'");
}

std::optional<tScriptOperand> tScriptTypeRules::Fold(O op, const tScriptOperand& left,
                                                     const tScriptOperand* right, T cls, T width,
                                                     tScriptPos pos) const {
    const bool fromCall = left.fromCall || (right != nullptr && right->fromCall);
    tScriptValue out;
    try {
        const bool bitwise = op == O::Not || op == O::Shl || op == O::Shr;
        if (bitwise && width != T::None) {
            const int bits = scriptTypeBits(width);
            const bool isSigned = scriptTypeSigned(width);
            const std::int64_t a = left.value.i;
            out.SetInteger(op == O::Not   ? scriptNot(a, bits, isSigned)
                           : op == O::Shl ? scriptShl(a, right->value.i, bits, isSigned)
                                          : scriptShr(a, right->value.i, bits, isSigned));
        } else if (right != nullptr) {
            scriptApply(op, left.value, right->value, out);
        } else {
            scriptApplyUnary(op, left.value, out);
        }
        if (out.kind == tScriptValue::tKind::Real) {
            scriptCheckReal(out.r);
        } else if (!bitwise && width == T::Integer) {
            scriptInteger32(out.i);
        }
    } catch (const tScriptFault& fault) {
        if (fromCall) {
            return std::nullopt;
        }
        emitter_.Fail(pos, fault.what());
    }
    tScriptOperand v = tScriptOperand::Constant(std::move(out), cls);
    v.fromCall = fromCall;
    return v;
}

// ---- Conversions ----------------------------------------------------------

void tScriptTypeRules::CheckAssignable(T to, const tScriptOperand& v, tScriptPos pos) const {
    const T cls = scriptClassOf(to);
    if (v.type == T::None) {
        emitter_.Fail(pos, "a procedure call has no value");
    }
    if (cls == T::Variant || v.type == T::Variant || cls == v.type ||
        (cls == T::Real && v.type == T::Int64)) {
        return;
    }
    emitter_.Fail(pos, std::string("incompatible types: expected '") + scriptTypeName(to) +
                           "', found '" + scriptTypeName(v.type) + "'");
}

tScriptValue tScriptTypeRules::ConvertConst(const tScriptOperand& v, T to, tScriptPos pos) const {
    CheckAssignable(to, v, pos);
    std::string fault;
    tScriptValue value = constValueAs(v, to, fault);
    if (!fault.empty()) {
        emitter_.Fail(pos, fault);
    }
    return value;
}

void tScriptTypeRules::ConvertInto(tScriptOperand v, T to, int dest, tScriptPos pos) {
    CheckAssignable(to, v, pos);
    if (v.isConst) {
        std::string fault;
        tScriptValue value = constValueAs(v, to, fault);
        if (fault.empty()) {
            emitter_.Emit(Op::LoadConst, pos, dest, emitter_.Constant(std::move(value)));
            return;
        }
        if (!v.fromCall) {
            emitter_.Fail(pos, fault);
        }
        // As it is: the checks below fail when they run.
        Place(v, pos, dest);
    }
    const T cls = scriptClassOf(to);
    if (cls == T::Variant || cls == v.type) {
        if (v.reg != dest) {
            const Op move = v.type == T::String    ? Op::MoveString
                            : v.type == T::Variant ? Op::MoveValue
                                                   : Op::MoveScalar;
            emitter_.Emit(move, pos, dest, v.reg);
        }
    } else if (v.type == T::Int64) {
        emitter_.Emit(Op::IntToReal, pos, dest, v.reg);
    } else {
        const Op convert = cls == T::Int64     ? Op::ToInteger
                           : cls == T::Real    ? Op::ToReal
                           : cls == T::Boolean ? Op::ToBoolean
                                               : Op::ToString;
        emitter_.Emit(convert, pos, dest, v.reg);
    }
    const T from = v.type == T::Variant ? T::Variant : v.declared;
    if (!RangeContains(to, from)) {
        emitter_.Emit(Op::CheckRange, pos, dest, 0, 0, static_cast<std::uint8_t>(to));
    }
    if (to == T::Single && from != T::Single) {
        emitter_.Emit(Op::RoundSingle, pos, dest);
    }
}

int tScriptTypeRules::AsClass(tScriptOperand v, T cls, tScriptPos pos) {
    if (!v.isConst && v.type == cls) {
        return v.reg;
    }
    const int reg = emitter_.NewRegister(pos);
    ConvertInto(std::move(v), cls, reg, pos);
    return reg;
}

int tScriptTypeRules::Place(tScriptOperand& v, tScriptPos pos, int hint) {
    if (v.isConst) {
        v.reg = emitter_.Target(hint, pos);
        emitter_.Emit(Op::LoadConst, pos, v.reg, emitter_.Constant(v.value));
        v.isConst = false;
    }
    return v.reg;
}

bool tScriptTypeRules::RangeContains(T to, T from) {
    std::int64_t toLow = 0;
    std::int64_t toHigh = 0;
    if (!scriptTypeRange(to, toLow, toHigh)) {
        return true;
    }
    std::int64_t fromLow = 0;
    std::int64_t fromHigh = 0;
    if (!scriptTypeRange(from, fromLow, fromHigh)) {
        return false;
    }
    return toLow <= fromLow && fromHigh <= toHigh;
}

tScriptValue tScriptTypeRules::ZeroOf(T type) {
    switch (scriptClassOf(type)) {
        case T::Int64:
            return tScriptValue::Integer(0);
        case T::Real:
            return tScriptValue::Real(0);
        case T::Boolean:
            return tScriptValue::Boolean(false);
        case T::String:
            return tScriptValue::String("");
        default:
            return tScriptValue();
    }
}

}  // namespace vantrel
