#pragma once

#include <cstdint>
#include <string_view>

#include "script/Lexer.h"

namespace vantrel {

// Operators of the language, shared by the parser, the compiler's type
// rules and folding, and the run-time operations on Variants.
enum class tScriptOperator : std::uint8_t {
    Add,
    Subtract,
    Multiply,
    Divide,
    IntDiv,
    Mod,
    And,
    Or,
    Xor,
    Shl,
    Shr,
    Equal,
    NotEqual,
    Less,
    LessEqual,
    Greater,
    GreaterEqual,
    Not,
    Negate,
};

// The one table of operators: how each is written and how tightly it binds.
class tScriptOperators {
public:
    // Binding strength of binary operators; a higher one binds tighter.
    // Unary operators bind tighter than any.
    static constexpr int kUnary = 0;
    static constexpr int kRelational = 1;
    static constexpr int kAdding = 2;
    static constexpr int kMultiplying = 3;
    // Binary operators come first in tScriptOperator.
    static constexpr int kBinaryCount = static_cast<int>(tScriptOperator::Not);

    struct tInfo {
        tScriptOperator op;
        std::string_view spelling;
        tScriptTokenKind token;
        int precedence;  // kUnary for the unary operators
    };

    static const tInfo& Get(tScriptOperator op);
    // The operator a token stands for between two operands, or before one;
    // nullptr for none.
    static const tInfo* Binary(tScriptTokenKind token);
    static const tInfo* Unary(tScriptTokenKind token);

    static constexpr bool IsRelational(tScriptOperator op) {
        return op >= tScriptOperator::Equal && op <= tScriptOperator::GreaterEqual;
    }
};

// A relational operator on two values of one type; any other operator
// reads as >=. Inline: the machine compares in its inner loop.
template <typename V>
inline bool scriptRelation(tScriptOperator op, const V& a, const V& b) {
    switch (op) {
        case tScriptOperator::Equal:
            return a == b;
        case tScriptOperator::NotEqual:
            return a != b;
        case tScriptOperator::Less:
            return a < b;
        case tScriptOperator::LessEqual:
            return a <= b;
        case tScriptOperator::Greater:
            return a > b;
        default:
            return a >= b;
    }
}

}  // namespace vantrel
