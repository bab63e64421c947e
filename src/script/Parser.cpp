#include "script/Parser.h"

#include <algorithm>
#include <utility>

#include "base/Error.h"
#include "script/Operators.h"

namespace vantrel {

namespace {

using K = tScriptTokenKind;

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) {
                   return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
               };
               return lower(x) == lower(y);
           });
}

class tGrammar {
public:
    explicit tGrammar(const std::vector<tScriptToken>& tokens) : tokens_(tokens) {}

    tScriptUnit Unit() {
        tScriptUnit unit;
        expect(K::Unit);
        unit.pos = current().pos;
        unit.name = identifier();
        unitName_ = unit.name;
        expect(K::Semicolon);
        bool inInterface = false;
        if (accept(K::Interface)) {
            inInterface = true;
            usesClause();
            declarations(unit.decls, true);
            expect(K::Implementation);
            inInterface = false;
        }
        usesClause();
        declarations(unit.decls, inInterface);
        unit.initPos = current().pos;
        if (accept(K::Initialization) || accept(K::Begin)) {
            statementList(unit.initialization);
            if (accept(K::Finalization)) {
                statementList(unit.finalization);
            }
        } else if (accept(K::Finalization)) {
            statementList(unit.finalization);
        }
        unit.endPos = current().pos;
        expect(K::End);
        expect(K::Dot);
        return unit;
    }

private:
    // Counts one level of nesting for as long as it lives.
    class tLevel {
    public:
        explicit tLevel(tGrammar& grammar) : grammar_(grammar) {
            if (++grammar_.nesting_ > tScriptParser::kMaxNesting) {
                grammar_.fail("nesting deeper than " + std::to_string(tScriptParser::kMaxNesting) +
                              " levels");
            }
        }
        ~tLevel() { --grammar_.nesting_; }
        tLevel(const tLevel&) = delete;
        tLevel& operator=(const tLevel&) = delete;

    private:
        tGrammar& grammar_;
    };

    const tScriptToken& current() const { return tokens_[at_]; }
    K kind() const { return tokens_[at_].kind; }
    void next() {
        if (at_ + 1 < tokens_.size()) {
            ++at_;
        }
    }

    [[noreturn]] void fail(const std::string& reason) const { failAt(current().pos, reason); }
    [[noreturn]] void failAt(tScriptPos pos, const std::string& reason) const {
        throw tError(
            scriptErrorText(unitName_.empty() ? "script" : unitName_, routineName_, pos, reason));
    }
    [[noreturn]] void expected(const std::string& what) const {
        fail(what + " expected but " + scriptTokenName(current()) + " found");
    }

    bool accept(K k) {
        if (kind() == k) {
            next();
            return true;
        }
        return false;
    }
    void expect(K k) {
        if (!accept(k)) {
            expected(scriptTokenKindName(k));
        }
    }
    std::string identifier() {
        if (kind() != K::Identifier) {
            expected("identifier");
        }
        std::string name = current().text;
        next();
        return name;
    }
    bool atWord(std::string_view word) const {
        return kind() == K::Identifier && sameName(current().text, word);
    }

    void usesClause() {
        if (accept(K::Uses)) {
            do {
                identifier();
                while (accept(K::Dot)) {
                    identifier();
                }
            } while (accept(K::Comma));
            expect(K::Semicolon);
        }
    }

    // Const, var and routine declarations until something else begins. In
    // the interface routines are headings only.
    void declarations(std::vector<tScriptDecl>& decls, bool interfacePart) {
        for (;;) {
            if (accept(K::Const)) {
                do {
                    constDecl(decls);
                } while (kind() == K::Identifier);
            } else if (accept(K::Var)) {
                do {
                    varDecl(decls, true);
                } while (kind() == K::Identifier);
            } else if (kind() == K::Function || kind() == K::Procedure) {
                decls.push_back(routine(interfacePart));
            } else if (kind() == K::Type || kind() == K::Label) {
                fail(scriptTokenKindName(kind()) + " declarations are not supported");
            } else {
                return;
            }
        }
    }

    void constDecl(std::vector<tScriptDecl>& decls) {
        tScriptDecl decl;
        decl.kind = tScriptDecl::tKind::Const;
        decl.constant.pos = current().pos;
        decl.constant.name = identifier();
        if (accept(K::Colon)) {
            decl.constant.typed = true;
            decl.constant.type = typeRef();
        }
        expect(K::Equal);
        decl.constant.value = expression();
        expect(K::Semicolon);
        decls.push_back(std::move(decl));
    }

    void varDecl(std::vector<tScriptDecl>& decls, bool allowInit) {
        tScriptDecl decl;
        decl.kind = tScriptDecl::tKind::Var;
        do {
            tScriptVarDecl::tName name;
            name.pos = current().pos;
            name.name = identifier();
            decl.variable.names.push_back(std::move(name));
        } while (accept(K::Comma));
        expect(K::Colon);
        decl.variable.type = typeRef();
        if (kind() == K::Equal) {
            if (!allowInit || decl.variable.names.size() != 1) {
                fail("only a single global variable can be initialised");
            }
            next();
            decl.variable.init = expression();
        }
        expect(K::Semicolon);
        decls.push_back(std::move(decl));
    }

    tScriptTypeRef typeRef() {
        if (kind() == K::Array || kind() == K::Record || kind() == K::Set) {
            fail(scriptTokenKindName(kind()) + " types are not supported");
        }
        tScriptTypeRef type;
        type.pos = current().pos;
        type.name = identifier();
        return type;
    }

    tScriptDecl routine(bool interfacePart) {
        tScriptDecl decl;
        decl.kind = tScriptDecl::tKind::Routine;
        decl.routine = std::make_unique<tScriptRoutine>();
        tScriptRoutine& r = *decl.routine;
        r.isFunction = kind() == K::Function;
        next();
        r.pos = current().pos;
        r.name = identifier();
        if (accept(K::LeftParen)) {
            r.hasParamList = true;
            if (kind() != K::RightParen) {
                do {
                    paramGroup(r.params);
                } while (accept(K::Semicolon));
            }
            expect(K::RightParen);
        }
        if (r.isFunction && accept(K::Colon)) {
            r.hasResult = true;
            r.result = typeRef();
        } else if (!r.isFunction && kind() == K::Colon) {
            fail("a procedure has no result type");
        }
        expect(K::Semicolon);
        if (interfacePart) {
            r.isForward = true;
            return decl;
        }
        if (atWord("forward")) {
            next();
            expect(K::Semicolon);
            r.isForward = true;
            return decl;
        }
        routineName_ = r.name;
        for (;;) {
            if (accept(K::Const)) {
                do {
                    constDecl(r.locals);
                } while (kind() == K::Identifier);
            } else if (accept(K::Var)) {
                do {
                    varDecl(r.locals, false);
                } while (kind() == K::Identifier);
            } else if (kind() == K::Function || kind() == K::Procedure) {
                fail("routines inside routines are not supported");
            } else if (kind() == K::Type || kind() == K::Label) {
                fail(scriptTokenKindName(kind()) + " declarations are not supported");
            } else {
                break;
            }
        }
        expect(K::Begin);
        r.hasBody = true;
        statementList(r.body);
        r.endPos = current().pos;
        expect(K::End);
        expect(K::Semicolon);
        routineName_.clear();
        return decl;
    }

    void paramGroup(std::vector<tScriptParamDecl>& params) {
        auto mode = tScriptParamDecl::tMode::Value;
        if (accept(K::Var)) {
            mode = tScriptParamDecl::tMode::Var;
        } else if (accept(K::Const)) {
            mode = tScriptParamDecl::tMode::Const;
        }
        const std::size_t first = params.size();
        do {
            tScriptParamDecl param;
            param.mode = mode;
            param.pos = current().pos;
            param.name = identifier();
            params.push_back(std::move(param));
        } while (accept(K::Comma));
        expect(K::Colon);
        const tScriptTypeRef type = typeRef();
        for (std::size_t k = first; k < params.size(); ++k) {
            params[k].type = type;
        }
    }

    // Statements separated by semicolons, up to a word that ends the list.
    void statementList(std::vector<tScriptStmtPtr>& list) {
        for (;;) {
            tScriptStmtPtr stmt = statement();
            if (stmt->kind != tScriptStmt::tKind::Empty) {
                list.push_back(std::move(stmt));
            }
            if (!accept(K::Semicolon)) {
                return;
            }
        }
    }

    tScriptStmtPtr statement() {
        tLevel level(*this);
        auto stmt = std::make_unique<tScriptStmt>();
        stmt->pos = current().pos;
        switch (kind()) {
            case K::Begin:
                next();
                stmt->kind = tScriptStmt::tKind::Compound;
                statementList(stmt->list);
                expect(K::End);
                break;
            case K::If:
                next();
                stmt->kind = tScriptStmt::tKind::If;
                stmt->expr = expression();
                expect(K::Then);
                stmt->body = statement();
                if (accept(K::Else)) {
                    stmt->elseBody = statement();
                }
                break;
            case K::Case:
                next();
                caseStatement(*stmt);
                break;
            case K::For:
                next();
                stmt->kind = tScriptStmt::tKind::For;
                stmt->namePos = current().pos;
                stmt->name = identifier();
                expect(K::Assign);
                stmt->expr = expression();
                if (accept(K::Downto)) {
                    stmt->downto = true;
                } else {
                    expect(K::To);
                }
                stmt->limit = expression();
                expect(K::Do);
                stmt->body = statement();
                break;
            case K::While:
                next();
                stmt->kind = tScriptStmt::tKind::While;
                stmt->expr = expression();
                expect(K::Do);
                stmt->body = statement();
                break;
            case K::Repeat:
                next();
                stmt->kind = tScriptStmt::tKind::Repeat;
                statementList(stmt->list);
                expect(K::Until);
                stmt->expr = expression();
                break;
            case K::Identifier:
                simpleStatement(*stmt);
                break;
            case K::Semicolon:
            case K::End:
            case K::Until:
            case K::Else:
            case K::Finalization:
            case K::EndOfFile:  // so that the message names the missing 'end'
                break;
            case K::Goto:
            case K::With:
                fail(scriptTokenKindName(kind()) + " statements are not supported");
            default:
                expected("statement");
        }
        return stmt;
    }

    void simpleStatement(tScriptStmt& stmt) {
        if (atWord("exit")) {
            next();
            stmt.kind = tScriptStmt::tKind::Exit;
            if (accept(K::LeftParen)) {
                if (kind() != K::RightParen) {
                    stmt.expr = expression();
                }
                expect(K::RightParen);
            }
            return;
        }
        if (atWord("break") || atWord("continue")) {
            stmt.kind = atWord("break") ? tScriptStmt::tKind::Break : tScriptStmt::tKind::Continue;
            next();
            return;
        }
        stmt.namePos = current().pos;
        tScriptExprPtr target = designator();
        if (accept(K::Assign)) {
            if (target->kind != tScriptExpr::tKind::Name) {
                failAt(stmt.namePos, "a variable is expected on the left of ':='");
            }
            stmt.kind = tScriptStmt::tKind::Assign;
            stmt.name = target->text;
            stmt.expr = expression();
            return;
        }
        if (kind() == K::Equal) {
            fail("':=' expected but '=' found");
        }
        stmt.kind = tScriptStmt::tKind::Call;
        stmt.expr = std::move(target);
    }

    void caseStatement(tScriptStmt& stmt) {
        stmt.kind = tScriptStmt::tKind::Case;
        stmt.expr = expression();
        expect(K::Of);
        while (kind() != K::Else && kind() != K::End && !atWord("otherwise")) {
            tScriptCaseBranch branch;
            do {
                tScriptCaseBranch::tLabel label;
                label.low = expression();
                if (accept(K::DotDot)) {
                    label.high = expression();
                }
                branch.labels.push_back(std::move(label));
            } while (accept(K::Comma));
            expect(K::Colon);
            branch.body = statement();
            stmt.branches.push_back(std::move(branch));
            if (!accept(K::Semicolon)) {
                break;
            }
        }
        if (kind() == K::Else || atWord("otherwise")) {
            next();
            stmt.hasElse = true;
            statementList(stmt.list);
        }
        expect(K::End);
    }

    tScriptExprPtr node(tScriptExpr::tKind k, tScriptPos pos) {
        auto e = std::make_unique<tScriptExpr>();
        e->kind = k;
        e->pos = pos;
        return e;
    }

    tScriptExprPtr combine(tScriptOperator op, tScriptPos pos, tScriptExprPtr left,
                           tScriptExprPtr right) {
        auto e = node(tScriptExpr::tKind::Binary, pos);
        e->op = op;
        e->depth = 1 + std::max(left->depth, right ? right->depth : 0);
        if (e->depth > tScriptParser::kMaxExpressionDepth) {
            failAt(pos, "expression too complex");
        }
        e->items.push_back(std::move(left));
        if (right) {
            e->items.push_back(std::move(right));
        }
        return e;
    }

    tScriptExprPtr expression() {
        tLevel level(*this);
        return operation(tScriptOperators::kRelational);
    }

    // Operands joined by binary operators that bind at least as tightly as
    // `weakest`, left to right (precedence climbing over the operator table).
    tScriptExprPtr operation(int weakest) {
        tScriptExprPtr left = factor();
        for (;;) {
            if (kind() == K::In) {
                fail("'in' and sets are not supported");
            }
            const tScriptOperators::tInfo* info = tScriptOperators::Binary(kind());
            if (info == nullptr || info->precedence < weakest) {
                return left;
            }
            const tScriptPos pos = current().pos;
            next();
            left = combine(info->op, pos, std::move(left), operation(info->precedence + 1));
        }
    }

    tScriptExprPtr factor() {
        const tScriptToken& token = current();
        switch (token.kind) {
            case K::Integer: {
                auto e = node(tScriptExpr::tKind::Integer, token.pos);
                e->integer = token.integer;
                next();
                return e;
            }
            case K::Real: {
                auto e = node(tScriptExpr::tKind::Real, token.pos);
                e->real = token.real;
                next();
                return e;
            }
            case K::String: {
                auto e = node(tScriptExpr::tKind::String, token.pos);
                e->text = token.text;
                next();
                return e;
            }
            case K::Identifier:
                return designator();
            case K::LeftParen: {
                next();
                tScriptExprPtr inner = expression();
                expect(K::RightParen);
                return inner;
            }
            case K::Not:
            case K::Minus:
            case K::Plus: {
                const tScriptOperators::tInfo* unary = tScriptOperators::Unary(token.kind);
                const tScriptPos pos = token.pos;
                tLevel level(*this);
                next();
                tScriptExprPtr operand = factor();
                if (unary == nullptr) {  // a plus sign changes nothing
                    return operand;
                }
                auto e = combine(unary->op, pos, std::move(operand), nullptr);
                e->kind = tScriptExpr::tKind::Unary;
                return e;
            }
            default:
                expected("expression");
        }
    }

    // A name, or a call with its arguments in parentheses.
    tScriptExprPtr designator() {
        auto e = node(tScriptExpr::tKind::Name, current().pos);
        e->text = identifier();
        if (kind() == K::LeftBracket || kind() == K::Dot) {
            fail("indexes and fields are not supported");
        }
        if (accept(K::LeftParen)) {
            e->kind = tScriptExpr::tKind::Call;
            if (kind() != K::RightParen) {
                do {
                    tScriptExprPtr arg = expression();
                    e->depth = std::max(e->depth, 1 + arg->depth);
                    e->items.push_back(std::move(arg));
                } while (accept(K::Comma));
            }
            expect(K::RightParen);
            if (e->depth > tScriptParser::kMaxExpressionDepth) {
                failAt(e->pos, "expression too complex");
            }
        }
        return e;
    }

    const std::vector<tScriptToken>& tokens_;
    std::size_t at_ = 0;
    int nesting_ = 0;
    std::string unitName_;
    std::string routineName_;
};

}  // namespace

tScriptUnit tScriptParser::Parse(const std::vector<tScriptToken>& tokens) {
    if (tokens.empty()) {
        throw tError("script(1:1): empty token list");
    }
    return tGrammar(tokens).Unit();
}

}  // namespace vantrel
