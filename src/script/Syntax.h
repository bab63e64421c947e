#pragma once

// The syntax tree of a unit, as the parser builds it and the compiler reads
// it. Names keep their spelling; the compiler compares them case-blind.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "script/Lexer.h"
#include "script/Value.h"

namespace vantrel {

struct tScriptExpr;
using tScriptExprPtr = std::unique_ptr<tScriptExpr>;

struct tScriptExpr {
    enum class tKind : std::uint8_t { Integer, Real, String, Name, Call, Unary, Binary };

    tKind kind = tKind::Integer;
    tScriptOperator op = tScriptOperator::Add;  // Unary and Binary
    tScriptPos pos;
    int depth = 1;  // of the tree below, bounded by the parser
    std::int64_t integer = 0;
    double real = 0;
    std::string text;                   // a name, or a string literal's value
    std::vector<tScriptExprPtr> items;  // operands or call arguments
};

struct tScriptStmt;
using tScriptStmtPtr = std::unique_ptr<tScriptStmt>;

struct tScriptCaseBranch {
    struct tLabel {
        tScriptExprPtr low;
        tScriptExprPtr high;  // null for a single value
    };
    std::vector<tLabel> labels;
    tScriptStmtPtr body;
};

struct tScriptStmt {
    enum class tKind : std::uint8_t {
        Empty,
        Assign,
        Call,
        Compound,
        If,
        Case,
        For,
        While,
        Repeat,
        Exit,
        Break,
        Continue,
    };

    tKind kind = tKind::Empty;
    tScriptPos pos;
    std::string name;  // Assign target, For variable
    tScriptPos namePos;
    tScriptExprPtr expr;               // value, condition, call, selector, start, Exit's value
    tScriptExprPtr limit;              // For
    bool downto = false;               // For
    std::vector<tScriptStmtPtr> list;  // Compound, Repeat, the else part of Case
    tScriptStmtPtr body;               // If's then, loop bodies
    tScriptStmtPtr elseBody;           // If
    std::vector<tScriptCaseBranch> branches;
    bool hasElse = false;  // Case
};

struct tScriptTypeRef {
    std::string name;
    tScriptPos pos;
};

struct tScriptConstDecl {
    std::string name;
    tScriptPos pos;
    bool typed = false;
    tScriptTypeRef type;
    tScriptExprPtr value;
};

struct tScriptVarDecl {
    struct tName {
        std::string name;
        tScriptPos pos;
    };
    std::vector<tName> names;
    tScriptTypeRef type;
    tScriptExprPtr init;  // globals only: "var Count: Integer = 5;"
};

struct tScriptParamDecl {
    enum class tMode : std::uint8_t { Value, Var, Const };
    std::string name;
    tScriptPos pos;
    tMode mode = tMode::Value;
    tScriptTypeRef type;
};

struct tScriptRoutine;

// One entry of a declaration part, in source order.
struct tScriptDecl {
    enum class tKind : std::uint8_t { Const, Var, Routine };
    tKind kind = tKind::Const;
    tScriptConstDecl constant;
    tScriptVarDecl variable;
    std::unique_ptr<tScriptRoutine> routine;
};

struct tScriptRoutine {
    std::string name;
    tScriptPos pos;
    bool isFunction = false;
    bool hasParamList = false;  // the implementation may repeat a heading without one
    std::vector<tScriptParamDecl> params;
    bool hasResult = false;
    tScriptTypeRef result;
    bool isForward = false;  // "forward;" or a heading in the interface
    bool hasBody = false;
    std::vector<tScriptDecl> locals;  // Const and Var only
    std::vector<tScriptStmtPtr> body;
    tScriptPos endPos;
};

struct tScriptUnit {
    std::string name;
    tScriptPos pos;
    std::vector<tScriptDecl> decls;
    std::vector<tScriptStmtPtr> initialization;
    std::vector<tScriptStmtPtr> finalization;
    tScriptPos initPos;
    tScriptPos endPos;
};

}  // namespace vantrel
