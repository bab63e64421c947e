#include "script/Operators.h"

#include <array>

namespace vantrel {

namespace {

using O = tScriptOperator;
using K = tScriptTokenKind;
using I = tScriptOperators;

// In the order of tScriptOperator.
constexpr std::array<I::tInfo, 19> kTable{{
    {O::Add, "+", K::Plus, I::kAdding},
    {O::Subtract, "-", K::Minus, I::kAdding},
    {O::Multiply, "*", K::Star, I::kMultiplying},
    {O::Divide, "/", K::Slash, I::kMultiplying},
    {O::IntDiv, "div", K::Div, I::kMultiplying},
    {O::Mod, "mod", K::Mod, I::kMultiplying},
    {O::And, "and", K::And, I::kMultiplying},
    {O::Or, "or", K::Or, I::kAdding},
    {O::Xor, "xor", K::Xor, I::kAdding},
    {O::Shl, "shl", K::Shl, I::kMultiplying},
    {O::Shr, "shr", K::Shr, I::kMultiplying},
    {O::Equal, "=", K::Equal, I::kRelational},
    {O::NotEqual, "<>", K::NotEqual, I::kRelational},
    {O::Less, "<", K::Less, I::kRelational},
    {O::LessEqual, "<=", K::LessEqual, I::kRelational},
    {O::Greater, ">", K::Greater, I::kRelational},
    {O::GreaterEqual, ">=", K::GreaterEqual, I::kRelational},
    {O::Not, "not", K::Not, I::kUnary},
    {O::Negate, "-", K::Minus, I::kUnary},
}};

static_assert(kTable.size() == static_cast<std::size_t>(O::Negate) + 1);

constexpr bool inOrder() {
    for (std::size_t k = 0; k < kTable.size(); ++k) {
        if (static_cast<std::size_t>(kTable[k].op) != k ||
            (kTable[k].precedence == I::kUnary) != (k >= I::kBinaryCount)) {
            return false;
        }
    }
    return true;
}
static_assert(inOrder(), "the operator table follows tScriptOperator, binary ones first");

const I::tInfo* find(K token, bool unary) {
    for (const I::tInfo& info : kTable) {
        if (info.token == token && (info.precedence == I::kUnary) == unary) {
            return &info;
        }
    }
    return nullptr;
}

}  // namespace

const tScriptOperators::tInfo& tScriptOperators::Get(tScriptOperator op) {
    return kTable[static_cast<std::size_t>(op)];
}

const tScriptOperators::tInfo* tScriptOperators::Binary(tScriptTokenKind token) {
    return find(token, false);
}

const tScriptOperators::tInfo* tScriptOperators::Unary(tScriptTokenKind token) {
    return find(token, true);
}

}  // namespace vantrel
