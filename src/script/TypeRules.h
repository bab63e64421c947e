#pragma once

#include <optional>
#include <vector>

#include "script/Builtins.h"
#include "script/Code.h"
#include "script/Emitter.h"
#include "script/Operators.h"

namespace vantrel {

// What an expression left behind: a register of a type, or a constant not
// yet placed in one.
struct tScriptOperand {
    tScriptType type = tScriptType::None;      // class: Int64, Real, Boolean, String, Variant, None
    tScriptType declared = tScriptType::None;  // a variable's own type, for range checks
    // The integer type Pascal gives the expression, which not, shl and shr
    // work in; None for an untyped constant, typed by its value.
    tScriptType intType = tScriptType::None;
    int reg = -1;
    bool isConst = false;
    // A constant worked out from a built-in call. Pascal does not take such
    // a call for a constant, so a fault on it waits until the code runs.
    bool fromCall = false;
    tScriptValue value;

    static tScriptOperand InRegister(tScriptType cls, int reg,
                                     tScriptType declared = tScriptType::None);
    static tScriptOperand Constant(tScriptValue value, tScriptType cls);
};

// The language's types at work: which operation an operator is on which
// operands, the integer type of a result, folding of constants and the
// conversions a store or an argument needs.
class tScriptTypeRules {
public:
    // What a binary operator does on operands of one class.
    struct tOperation {
        tScriptOpCode code = tScriptOpCode::Return;  // Return: the operator does not apply
        tScriptType operands = tScriptType::None;    // the class both are converted to
        tScriptType result = tScriptType::None;
        tScriptOpCode jump = tScriptOpCode::Return;    // comparisons: the fused compare-and-jump
        tScriptOpCode narrow = tScriptOpCode::Return;  // the form for two Integers, if it differs
    };

    // What a unary operator does on its operand.
    struct tUnaryOperation {
        tScriptOpCode code = tScriptOpCode::Unary;
        tScriptType width = tScriptType::None;  // on integers: the type it works in
        tScriptType type = tScriptType::None;   // the result's integer type
        std::uint8_t sub = 0;
    };

    // `emitter` receives the code of conversions and names the routine in
    // messages.
    explicit tScriptTypeRules(tScriptEmitter& emitter) : emitter_(emitter) {}

    // ---- Operators ----------------------------------------------------

    // Fails when the operator cannot combine operands of these classes.
    const tOperation& Binary(tScriptOperator op, tScriptType a, tScriptType b,
                             tScriptPos pos) const;
    tUnaryOperation Unary(tScriptOperator op, const tScriptOperand& v, tScriptPos pos) const;
    // The integer type of the operation's result; None when it is no integer.
    static tScriptType IntegerType(const tOperation& operation, const tScriptOperand& left,
                                   const tScriptOperand& right);
    // The integer type the operation computes in: for shl and shr the left
    // operand's, 64 bits for an Int64 and 32 otherwise; for + - * div the
    // one both operands widen to, where two Integers stay in 32 bits; None
    // for the others.
    static tScriptType Width(const tOperation& operation, const tScriptOperand& left,
                             const tScriptOperand& right);
    // The operation's code for operands computed in `width`.
    static tScriptOpCode CodeFor(const tOperation& operation, tScriptType width);
    // The `sub` of the operation's code.
    static std::uint8_t SubOf(const tOperation& operation, tScriptOperator op, tScriptType width);
    static tScriptType BuiltinType(const tScriptBuiltins::tInfo& info,
                                   const std::vector<tScriptOperand>& args);
    [[noreturn]] void BadOperands(tScriptOperator op, tScriptType a, tScriptType b,
                                  tScriptPos pos) const;

    // An operator on constants (`right` null for a unary one), computed in
    // the integer type `width` as Width gives it. A fault on true constants
    // is a compile error; on a value from a built-in call there is no
    // constant, and the code computes it when it runs.
    std::optional<tScriptOperand> Fold(tScriptOperator op, const tScriptOperand& left,
                                       const tScriptOperand* right, tScriptType cls,
                                       tScriptType width, tScriptPos pos) const;

    // ---- Conversions --------------------------------------------------

    void CheckAssignable(tScriptType to, const tScriptOperand& v, tScriptPos pos) const;
    // A constant's value converted to `to`.
    tScriptValue ConvertConst(const tScriptOperand& v, tScriptType to, tScriptPos pos) const;
    // Puts `v`, converted to the declared type `to`, in register `dest`.
    void ConvertInto(tScriptOperand v, tScriptType to, int dest, tScriptPos pos);
    // `v` as a register of class `cls` (Int64 to Real, Variant to either).
    int AsClass(tScriptOperand v, tScriptType cls, tScriptPos pos);
    // Places a constant operand in a register.
    int Place(tScriptOperand& v, tScriptPos pos, int hint = -1);

    // Every value of `from` is a value of `to`, so a store needs no check.
    static bool RangeContains(tScriptType to, tScriptType from);
    static tScriptValue ZeroOf(tScriptType type);

private:
    tScriptEmitter& emitter_;
};

}  // namespace vantrel
