#pragma once

#include <string_view>
#include <vector>

#include "script/Lexer.h"
#include "script/Syntax.h"

namespace vantrel {

// Builds the syntax tree of a unit from its tokens, checking the grammar
// only (names and types are the compiler's business). Nesting is bounded
// so that neither this parser nor the passes after it, all recursive, can
// exhaust the native stack on hostile input.
class tScriptParser {
public:
    // Deepest nesting of statements and of parentheses and unary operators.
    static constexpr int kMaxNesting = 200;
    // Deepest expression tree, counting the operands of one long chain.
    static constexpr int kMaxExpressionDepth = 400;

    // tError ("unit.Routine(line:column): 'then' expected but 'begin'
    // found") on the first fault.
    static tScriptUnit Parse(const std::vector<tScriptToken>& tokens);
};

}  // namespace vantrel
