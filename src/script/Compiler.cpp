#include "script/Compiler.h"

#include <algorithm>
#include <utility>

#include "script/Emitter.h"
#include "script/Expressions.h"
#include "script/Scopes.h"
#include "script/TypeRules.h"

namespace vantrel {

namespace {

using T = tScriptType;
using Op = tScriptOpCode;
using SK = tScriptStmt::tKind;
using tOperand = tScriptOperand;
using tSymbol = tScriptSymbol;
using tPlace = tScriptScopes::tPlace;

// The walk over a unit's declarations and statements; expressions have a
// walk of their own.
class tGenerator {
public:
    explicit tGenerator(const tScriptUnit& unit)
        : unit_(unit),
          emitter_(unit.name),
          scopes_(emitter_),
          rules_(emitter_),
          expressions_(emitter_, scopes_, rules_) {
        code_.unitName = unit.name;
    }

    tScriptCode Run() {
        scopes_.DeclareRoutines(unit_.decls, code_);
        // Constant expressions outside routines are evaluated in a scratch
        // routine: anything that emits code there is not constant. It sees
        // none of the locals of the routine before.
        tScriptFunction scratch;
        for (const tScriptDecl& decl : unit_.decls) {
            switch (decl.kind) {
                case tScriptDecl::tKind::Const:
                    beginFunction(scratch = tScriptFunction(), "", "");
                    declareConst(decl.constant, true);
                    break;
                case tScriptDecl::tKind::Var:
                    beginFunction(scratch = tScriptFunction(), "", "");
                    declareGlobals(decl.variable);
                    break;
                case tScriptDecl::tKind::Routine:
                    routine(*decl.routine);
                    break;
            }
        }
        if (const tScriptRoutineInfo* info = scopes_.MissingBody()) {
            emitter_.Begin(scratch, "");
            emitter_.Fail(info->pos, "unsatisfied forward declaration of '" + info->name + "'");
        }
        code_.initialization = mainPart(unit_.initialization);
        mainPart(unit_.finalization);
        return std::move(code_);
    }

private:
    int emit(Op code, tScriptPos pos, int a = 0, int b = 0, int c = 0, std::uint8_t sub = 0) {
        return emitter_.Emit(code, pos, a, b, c, sub);
    }
    [[noreturn]] void failAt(tScriptPos pos, const std::string& reason) const {
        emitter_.Fail(pos, reason);
    }

    // ---- Declarations -------------------------------------------------

    // A constant's value, converted to its declared type when it has one.
    void declareConst(const tScriptConstDecl& decl, bool global) {
        scopes_.CheckFree(decl.name, decl.pos, global);
        const tOperand value = expressions_.Value(*decl.value);
        if (!value.isConst) {
            failAt(decl.value->pos, "constant expression expected");
        }
        tSymbol symbol;
        symbol.kind = tSymbol::tKind::Const;
        symbol.type = value.type;
        symbol.value = value.value;
        symbol.intType = value.intType;
        if (decl.typed) {
            symbol.type = scopes_.TypeOf(decl.type);
            symbol.value = rules_.ConvertConst(value, symbol.type, decl.value->pos);
            symbol.intType = scriptClassOf(symbol.type) == T::Int64 ? symbol.type : T::None;
        }
        scopes_.Add(decl.name, std::move(symbol), global);
    }

    void declareGlobals(const tScriptVarDecl& decl) {
        const T type = scopes_.TypeOf(decl.type);
        for (const tScriptVarDecl::tName& name : decl.names) {
            scopes_.CheckFree(name.name, name.pos, true);
            tScriptValue start = tScriptTypeRules::ZeroOf(type);
            if (decl.init) {
                const tOperand value = expressions_.Value(*decl.init);
                if (!value.isConst) {
                    failAt(decl.init->pos, "constant expression expected");
                }
                start = rules_.ConvertConst(value, type, decl.init->pos);
            }
            tSymbol symbol;
            symbol.kind = tSymbol::tKind::Global;
            symbol.type = type;
            symbol.index = static_cast<int>(code_.globalTypes.size());
            code_.globalTypes.push_back(type);
            code_.globalStart.push_back(std::move(start));
            scopes_.Add(name.name, std::move(symbol), true);
        }
    }

    // ---- Routines -----------------------------------------------------

    void routine(const tScriptRoutine& r) {
        const std::string key = tScriptScopes::Key(r.name);
        if (scopes_.HasGlobal(key)) {
            failAt(r.pos, "duplicate identifier '" + r.name + "'");
        }
        if (!r.hasBody) {
            return;
        }
        const tScriptRoutineInfo& info = *scopes_.FindRoutine(key);
        tScriptFunction& fn = code_.functions[static_cast<std::size_t>(info.function)];
        fn.name = info.name;
        fn.pos = r.pos;
        fn.params = info.params;
        fn.result = info.result;
        beginFunction(fn, info.name, info.result != T::None ? key : std::string());

        for (std::size_t k = 0; k < info.params.size(); ++k) {
            const tScriptParamInfo& p = info.params[k];
            tSymbol symbol;
            symbol.kind = p.byRef ? tSymbol::tKind::RefParam : tSymbol::tKind::Local;
            symbol.type = p.type;
            symbol.index = static_cast<int>(k) + 1;
            symbol.readOnly = info.constParams[k];
            scopes_.DeclareLocal(p.name, k < r.params.size() ? r.params[k].pos : r.pos,
                                 std::move(symbol));
        }
        emitter_.Reserve(static_cast<int>(info.params.size()));
        if (info.result != T::None) {
            tSymbol symbol;
            symbol.kind = tSymbol::tKind::Local;
            symbol.type = info.result;
            symbol.index = 0;
            scopes_.DeclareLocal("Result", r.pos, std::move(symbol));
        }
        const T result = info.result != T::None ? info.result : T::Variant;
        emit(Op::Init, r.pos, 0, 0, 0, static_cast<std::uint8_t>(result));
        for (const tScriptDecl& decl : r.locals) {
            if (decl.kind == tScriptDecl::tKind::Const) {
                declareConst(decl.constant, false);
                continue;
            }
            const T type = scopes_.TypeOf(decl.variable.type);
            for (const tScriptVarDecl::tName& name : decl.variable.names) {
                tSymbol symbol;
                symbol.kind = tSymbol::tKind::Local;
                symbol.type = type;
                symbol.index = emitter_.NewRegister(name.pos);
                emit(Op::Init, name.pos, symbol.index, 0, 0, static_cast<std::uint8_t>(type));
                scopes_.DeclareLocal(name.name, name.pos, std::move(symbol));
            }
        }
        body(r.body, r.endPos);
    }

    // The initialization (or finalization) part as a routine of its own;
    // -1 when the unit has none.
    int mainPart(const std::vector<tScriptStmtPtr>& statements) {
        if (statements.empty()) {
            return -1;
        }
        const int index = static_cast<int>(code_.functions.size());
        code_.functions.emplace_back();
        tScriptFunction& fn = code_.functions.back();
        fn.pos = statements.front()->pos;
        beginFunction(fn, "", "");
        emit(Op::Init, fn.pos, 0, 0, 0, static_cast<std::uint8_t>(T::Variant));
        body(statements, unit_.endPos);
        return index;
    }

    void beginFunction(tScriptFunction& fn, const std::string& name, std::string self) {
        emitter_.Begin(fn, name);
        scopes_.BeginRoutine(std::move(self));
        loops_.clear();
    }

    void body(const std::vector<tScriptStmtPtr>& statements, tScriptPos end) {
        tScriptLabel exit;
        exit_ = &exit;
        for (const tScriptStmtPtr& s : statements) {
            statement(*s);
        }
        emitter_.Bind(exit);
        emit(Op::Return, end);
        exit_ = nullptr;
    }

    void assign(const tPlace& place, const tScriptExpr& value, tScriptPos pos) {
        const int reg =
            place.kind == tSymbol::tKind::Local ? place.index : emitter_.NewRegister(pos);
        rules_.ConvertInto(expressions_.Value(value, reg), place.type, reg, pos);
        expressions_.Store(place, reg, pos);
    }

    void statement(const tScriptStmt& s) {
        const int mark = emitter_.NextRegister();
        switch (s.kind) {
            case SK::Empty:
                break;
            case SK::Assign:
                assign(scopes_.Assignable(s.name, s.namePos), *s.expr, s.namePos);
                break;
            case SK::Call:
                if (s.expr->kind == tScriptExpr::tKind::Name &&
                    scopes_.FindVariable(tScriptScopes::Key(s.expr->text)) != nullptr) {
                    failAt(s.expr->pos, "'" + s.expr->text + "' is not a procedure");
                }
                expressions_.Call(*s.expr, -1, true);
                break;
            case SK::Compound:
                statements(s.list);
                break;
            case SK::If: {
                tScriptLabel otherwise;
                expressions_.JumpIf(*s.expr, false, otherwise);
                statement(*s.body);
                if (s.elseBody) {
                    tScriptLabel done;
                    emitter_.JumpTo(done, emit(Op::Jump, s.pos));
                    emitter_.Bind(otherwise);
                    statement(*s.elseBody);
                    emitter_.Bind(done);
                } else {
                    emitter_.Bind(otherwise);
                }
                break;
            }
            case SK::Case:
                caseStatement(s);
                break;
            case SK::For:
                forStatement(s);
                break;
            case SK::While: {
                tScriptLabel top;
                tScriptLabel done;
                emitter_.Bind(top);
                expressions_.JumpIf(*s.expr, false, done);
                loopBody(*s.body, done, top);
                emitter_.JumpTo(top, emit(Op::Jump, s.pos));
                emitter_.Bind(done);
                break;
            }
            case SK::Repeat: {
                tScriptLabel top;
                tScriptLabel next;
                tScriptLabel done;
                emitter_.Bind(top);
                loops_.push_back({&done, &next});
                statements(s.list);
                loops_.pop_back();
                emitter_.Bind(next);
                expressions_.JumpIf(*s.expr, false, top);
                emitter_.Bind(done);
                break;
            }
            case SK::Exit:
                if (s.expr) {
                    if (!scopes_.InFunction()) {
                        failAt(s.pos, "only a function can exit with a value");
                    }
                    rules_.ConvertInto(expressions_.Value(*s.expr, 0), scopes_.Result().type, 0,
                                       s.expr->pos);
                }
                emitter_.JumpTo(*exit_, emit(Op::Jump, s.pos));
                break;
            case SK::Break:
            case SK::Continue:
                if (loops_.empty()) {
                    failAt(s.pos, std::string(s.kind == SK::Break ? "'break'" : "'continue'") +
                                      " outside a loop");
                }
                emitter_.JumpTo(
                    s.kind == SK::Break ? *loops_.back().breakLabel : *loops_.back().continueLabel,
                    emit(Op::Jump, s.pos));
                break;
        }
        emitter_.Release(mark);
    }

    void statements(const std::vector<tScriptStmtPtr>& list) {
        for (const tScriptStmtPtr& inner : list) {
            statement(*inner);
        }
    }

    void loopBody(const tScriptStmt& body, tScriptLabel& breakLabel, tScriptLabel& continueLabel) {
        loops_.push_back({&breakLabel, &continueLabel});
        statement(body);
        loops_.pop_back();
    }

    std::int64_t caseLabel(const tScriptExpr& e) {
        const tOperand v = expressions_.Value(e);
        if (!v.isConst || v.type != T::Int64) {
            failAt(e.pos, "constant integer expected as case label");
        }
        return v.value.i;
    }

    void caseStatement(const tScriptStmt& s) {
        tOperand selector = expressions_.Value(*s.expr);
        if (selector.type != T::Int64 && selector.type != T::Variant) {
            failAt(s.expr->pos, std::string("integer expression expected, found '") +
                                    scriptTypeName(selector.type) + "'");
        }
        const int reg = rules_.AsClass(std::move(selector), T::Int64, s.expr->pos);
        std::vector<tScriptCaseTable>& cases = emitter_.Function().cases;
        const auto table = static_cast<int>(cases.size());
        cases.emplace_back();
        emit(Op::Case, s.pos, reg, table);
        std::vector<tScriptCaseTable::tRange> ranges;
        std::vector<tScriptPos> labelPositions;
        tScriptLabel done;
        for (const tScriptCaseBranch& branch : s.branches) {
            for (const tScriptCaseBranch::tLabel& label : branch.labels) {
                tScriptCaseTable::tRange range;
                range.low = caseLabel(*label.low);
                range.high = label.high ? caseLabel(*label.high) : range.low;
                if (range.high < range.low) {
                    failAt(label.low->pos, "empty case range");
                }
                range.target = emitter_.Here();
                ranges.push_back(range);
                labelPositions.push_back(label.low->pos);
            }
            statement(*branch.body);
            emitter_.JumpTo(done, emit(Op::Jump, s.pos));
        }
        const int otherwise = emitter_.Here();
        statements(s.list);
        emitter_.Bind(done);
        std::vector<std::size_t> order(ranges.size());
        for (std::size_t k = 0; k < order.size(); ++k) {
            order[k] = k;
        }
        std::sort(order.begin(), order.end(),
                  [&](std::size_t x, std::size_t y) { return ranges[x].low < ranges[y].low; });
        std::vector<tScriptCaseTable::tRange> sorted;
        for (std::size_t k : order) {
            if (!sorted.empty() && ranges[k].low <= sorted.back().high) {
                failAt(labelPositions[std::max(k, order[sorted.size() - 1])],
                       "duplicate case label");
            }
            sorted.push_back(ranges[k]);
        }
        tScriptCaseTable& entry = emitter_.Function().cases[static_cast<std::size_t>(table)];
        entry.ranges = std::move(sorted);
        entry.otherwise = otherwise;
    }

    void forStatement(const tScriptStmt& s) {
        const tPlace place = scopes_.Assignable(s.name, s.namePos);
        if (place.kind == tSymbol::tKind::RefParam || scriptClassOf(place.type) != T::Int64) {
            failAt(s.namePos, "for-loop variable must be a local or global integer variable");
        }
        const int counter = emitter_.NewRegister(s.pos);
        rules_.ConvertInto(expressions_.Value(*s.expr, counter), T::Int64, counter, s.expr->pos);
        const int limit = emitter_.NewRegister(s.pos);
        rules_.ConvertInto(expressions_.Value(*s.limit, limit), T::Int64, limit, s.limit->pos);
        tScriptLabel done;
        tScriptLabel next;
        const auto past =
            static_cast<std::uint8_t>(s.downto ? tScriptOperator::Less : tScriptOperator::Greater);
        emitter_.JumpTo(done, emit(Op::JumpInt, s.pos, 0, counter, limit, past));
        const int top = emitter_.Here();
        if (!tScriptTypeRules::RangeContains(place.type, T::Int64)) {
            emit(Op::CheckRange, s.namePos, counter, 0, 0, static_cast<std::uint8_t>(place.type));
        }
        if (place.kind == tSymbol::tKind::Local) {
            emit(Op::MoveScalar, s.namePos, place.index, counter);
        } else {
            expressions_.Store(place, counter, s.namePos);
        }
        loopBody(*s.body, done, next);
        emitter_.Bind(next);
        emit(s.downto ? Op::ForDown : Op::ForUp, s.pos, counter, limit, top);
        emitter_.Bind(done);
    }

    const tScriptUnit& unit_;
    tScriptCode code_;
    tScriptEmitter emitter_;
    tScriptScopes scopes_;
    tScriptTypeRules rules_;
    tScriptExpressions expressions_;

    // The routine being compiled.
    tScriptLabel* exit_ = nullptr;
    struct tLoop {
        tScriptLabel* breakLabel;
        tScriptLabel* continueLabel;
    };
    std::vector<tLoop> loops_;
};

}  // namespace

tScriptCode tScriptCompiler::Compile(const tScriptUnit& unit) {
    return tGenerator(unit).Run();
}

}  // namespace vantrel
