#pragma once

#include <optional>
#include <string>
#include <vector>

#include "script/Builtins.h"
#include "script/Emitter.h"
#include "script/Scopes.h"
#include "script/Syntax.h"
#include "script/TypeRules.h"

namespace vantrel {

// The walk over expressions: names, operators, conditions and calls, with
// the scopes resolving names, the type rules deciding operations and
// conversions and the emitter writing the code.
class tScriptExpressions {
public:
    tScriptExpressions(tScriptEmitter& emitter, const tScriptScopes& scopes,
                       tScriptTypeRules& rules);

    // The value of `e`; when it needs a register of its own, `hint` (if
    // given) is the one it takes.
    tScriptOperand Value(const tScriptExpr& e, int hint = -1);
    // Jumps to `label` when `e` is `when`, falls through otherwise.
    void JumpIf(const tScriptExpr& e, bool when, tScriptLabel& label);
    // A call of a routine or built-in; as a statement, procedures and Inc
    // and Dec are allowed too.
    tScriptOperand Call(const tScriptExpr& e, int hint, bool statement);
    // Stores register `reg` (already of the place's type) into the place.
    void Store(const tScriptScopes::tPlace& place, int reg, tScriptPos pos);

private:
    int emit(tScriptOpCode code, tScriptPos pos, int a = 0, int b = 0, int c = 0,
             std::uint8_t sub = 0);
    [[noreturn]] void failAt(tScriptPos pos, const std::string& reason) const;

    tScriptOperand read(const tScriptSymbol& symbol, int hint, tScriptPos pos);
    tScriptOperand name(const tScriptExpr& e, int hint);
    tScriptOperand unary(const tScriptExpr& e, int hint);
    tScriptOperand binary(const tScriptExpr& e, tScriptOperand left, int hint);
    tScriptOperand logical(const tScriptExpr& e, int hint);
    void checkBooleanOperand(const tScriptExpr& e, const tScriptOperand& right) const;

    [[noreturn]] void wrongCount(const tScriptExpr& e, const std::string& expected,
                                 std::size_t given) const;
    tScriptOperand userCall(const tScriptRoutineInfo& info, const tScriptExpr& e, bool statement);
    void passByReference(const tScriptParamInfo& param, const tScriptExpr& arg, int slot);
    tScriptOperand builtinCall(const tScriptBuiltins::tInfo& first, const tScriptExpr& e, int hint);
    std::optional<tScriptOperand> foldBuiltin(const tScriptBuiltins::tInfo& info,
                                              const std::vector<tScriptOperand>& args,
                                              const tScriptExpr& e) const;
    void incDec(const tScriptExpr& e, bool increment);

    tScriptEmitter& emitter_;
    const tScriptScopes& scopes_;
    tScriptTypeRules& rules_;
};

}  // namespace vantrel
