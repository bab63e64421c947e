#pragma once

#include "script/Code.h"
#include "script/Syntax.h"

namespace vantrel {

// Turns a unit's syntax tree into its compiled form: resolves every name to
// a register, a global or a routine, checks types, arguments and
// assignments, folds constant expressions and lays out jumps. It walks the
// declarations and statements; tScriptExpressions walks expressions,
// tScriptScopes holds the names, tScriptTypeRules the types and
// tScriptEmitter writes the code.
class tScriptCompiler {
public:
    // Registers of one routine: its variables and the temporaries of its
    // expressions.
    static constexpr int kMaxFrameSize = 32767;

    // tError ("unit.Routine(line:column): undeclared identifier 'x'") on
    // the first fault.
    static tScriptCode Compile(const tScriptUnit& unit);
};

}  // namespace vantrel
