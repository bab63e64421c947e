#include "script/Compiler.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <unordered_map>
#include <utility>

#include "base/Error.h"
#include "script/Builtins.h"
#include "script/Fault.h"

namespace vantrel {

namespace {

using T = tScriptType;
using Op = tScriptOpCode;
using O = tScriptOperator;
using EK = tScriptExpr::tKind;
using SK = tScriptStmt::tKind;

std::string lowerCase(std::string_view text) {
    std::string key(text);
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return key;
}

const char* operatorName(O op) {
    switch (op) {
        case O::Add:
            return "+";
        case O::Subtract:
            return "-";
        case O::Multiply:
            return "*";
        case O::Divide:
            return "/";
        case O::IntDiv:
            return "div";
        case O::Mod:
            return "mod";
        case O::And:
            return "and";
        case O::Or:
            return "or";
        case O::Xor:
            return "xor";
        case O::Shl:
            return "shl";
        case O::Shr:
            return "shr";
        case O::Equal:
            return "=";
        case O::NotEqual:
            return "<>";
        case O::Less:
            return "<";
        case O::LessEqual:
            return "<=";
        case O::Greater:
            return ">";
        case O::GreaterEqual:
            return ">=";
        case O::Not:
            return "not";
        case O::Negate:
            return "-";
    }
    return "?";
}

bool isRelational(O op) {
    return op >= O::Equal && op <= O::GreaterEqual;
}

bool isNumeric(T cls) {
    return cls == T::Int64 || cls == T::Real;
}

// Every value of `from` is a value of `to`, so a store needs no check.
bool rangeContains(T to, T from) {
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

struct tSymbol {
    enum class tKind : std::uint8_t { Const, Global, Local, RefParam };
    tKind kind = tKind::Const;
    T type = T::Variant;  // as declared
    tScriptValue value;   // Const
    T intType = T::None;  // Const: as tOperand::intType
    int index = 0;        // global index or register
    bool readOnly = false;
};

struct tRoutineInfo {
    std::string name;
    tScriptPos pos;
    std::vector<tScriptParamInfo> params;
    std::vector<bool> constParams;
    T result = T::None;
    bool hasBody = false;
    int function = 0;
};

// What an expression left behind: a register of a type, or a constant not
// yet placed in one.
struct tOperand {
    T type = T::None;      // class: Int64, Real, Boolean, String, Variant, None
    T declared = T::None;  // a variable's own type, for range checks
    // The integer type Pascal gives the expression, which not, shl and shr
    // work in; None for an untyped constant, typed by its value.
    T intType = T::None;
    int reg = -1;
    bool isConst = false;
    // A constant worked out from a built-in call. Pascal does not take such
    // a call for a constant, so a fault on it waits until the code runs.
    bool fromCall = false;
    tScriptValue value;
};

bool isUnsigned(T type) {
    return type == T::Byte || type == T::Word || type == T::Cardinal;
}

// An operand's integer type: its own, or for an untyped constant the
// narrowest of Integer, Cardinal and Int64 that holds the value.
T intTypeOf(const tOperand& v) {
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

bool untyped(const tOperand& v) {
    return v.isConst && v.intType == T::None;
}

// What an operator on these operands gives: untyped constants give an
// untyped constant again, anything else `type`.
T resultType(const tOperand& a, const tOperand* b, T type) {
    return untyped(a) && (b == nullptr || untyped(*b)) ? T::None : type;
}

// Byte and Word widen to Integer; Cardinal and Int64 stay.
T promoted(T type) {
    return type == T::Int64 || type == T::Cardinal ? type : T::Integer;
}

// + - * div mod and or xor on integers. Cardinal with a signed operand
// widens to Int64, unless that operand is an untyped constant that fits.
T arithmeticType(const tOperand& a, const tOperand& b) {
    const T x = intTypeOf(a);
    const T y = intTypeOf(b);
    if (x == T::Int64 || y == T::Int64) {
        return T::Int64;
    }
    if (x != T::Cardinal && y != T::Cardinal) {
        return T::Integer;
    }
    const tOperand& other = x == T::Cardinal ? b : a;
    const bool adapts = untyped(other) && other.value.i >= 0;
    return isUnsigned(x == T::Cardinal ? y : x) || adapts ? T::Cardinal : T::Int64;
}

// shl and shr work in the left operand's type: 64 bits for an Int64,
// 32 otherwise.
T shiftType(const tOperand& left) {
    return promoted(intTypeOf(left));
}

struct tLabel {
    int at = -1;
    std::vector<int> uses;  // operations whose `a` jumps here
};

class tGenerator {
public:
    explicit tGenerator(const tScriptUnit& unit) : unit_(unit) {
        code_.unitName = unit.name;
        for (const char* name : {"true", "false", "pi"}) {
            tSymbol symbol;
            symbol.kind = tSymbol::tKind::Const;
            if (name[0] == 'p') {
                symbol.type = T::Real;
                symbol.value = tScriptValue::Real(3.141592653589793238);
            } else {
                symbol.type = T::Boolean;
                symbol.value = tScriptValue::Boolean(name[0] == 't');
            }
            predefined_[name] = std::move(symbol);
        }
    }

    tScriptCode Run() {
        declareRoutines();
        // Constant expressions outside routines are evaluated in a scratch
        // routine: anything that emits code there is not constant.
        tScriptFunction scratch;
        for (const tScriptDecl& decl : unit_.decls) {
            switch (decl.kind) {
                case tScriptDecl::tKind::Const:
                    beginScratch(scratch);
                    declareConst(decl.constant, globals_, true);
                    break;
                case tScriptDecl::tKind::Var:
                    beginScratch(scratch);
                    declareGlobals(decl.variable);
                    break;
                case tScriptDecl::tKind::Routine:
                    routine(*decl.routine);
                    break;
            }
        }
        for (const tRoutineInfo& info : routines_) {
            if (!info.hasBody) {
                routineName_.clear();
                failAt(info.pos, "unsatisfied forward declaration of '" + info.name + "'");
            }
        }
        code_.initialization = mainPart(unit_.initialization);
        mainPart(unit_.finalization);
        return std::move(code_);
    }

private:
    [[noreturn]] void failAt(tScriptPos pos, const std::string& reason) const {
        throw tError(scriptErrorText(code_.unitName, routineName_, pos, reason));
    }

    [[noreturn]] void mismatch(tScriptPos pos, T expected, T found) const {
        failAt(pos, std::string("incompatible types: expected '") + scriptTypeName(expected) +
                        "', found '" + scriptTypeName(found) + "'");
    }

    T typeOf(const tScriptTypeRef& ref) const {
        const T type = scriptTypeFromName(lowerCase(ref.name));
        if (type == T::None) {
            failAt(ref.pos, "unknown type '" + ref.name + "'");
        }
        return type;
    }

    // ---- Declarations -------------------------------------------------

    bool globalNameTaken(const std::string& key) const {
        return globals_.count(key) != 0 || routineIndex_.count(key) != 0;
    }

    void declareRoutines() {
        for (const tScriptDecl& decl : unit_.decls) {
            if (decl.kind != tScriptDecl::tKind::Routine) {
                continue;
            }
            const tScriptRoutine& r = *decl.routine;
            const std::string key = lowerCase(r.name);
            const auto found = routineIndex_.find(key);
            if (found == routineIndex_.end()) {
                tRoutineInfo info = heading(r);
                info.hasBody = r.hasBody;
                info.function = static_cast<int>(code_.functions.size());
                code_.functions.emplace_back();
                routineIndex_[key] = static_cast<int>(routines_.size());
                routines_.push_back(std::move(info));
                continue;
            }
            tRoutineInfo& info = routines_[static_cast<std::size_t>(found->second)];
            if (info.hasBody || !r.hasBody) {
                failAt(r.pos, "duplicate identifier '" + r.name + "'");
            }
            if (r.hasParamList || r.hasResult) {
                const tRoutineInfo again = heading(r);
                bool same = again.params.size() == info.params.size() &&
                            again.result == info.result && again.constParams == info.constParams;
                for (std::size_t k = 0; same && k < again.params.size(); ++k) {
                    same = again.params[k].type == info.params[k].type &&
                           again.params[k].byRef == info.params[k].byRef;
                }
                if (!same) {
                    failAt(r.pos,
                           "declaration of '" + r.name + "' differs from its earlier declaration");
                }
                info.params = again.params;  // the body's parameter names
            }
            info.hasBody = true;
        }
    }

    tRoutineInfo heading(const tScriptRoutine& r) const {
        tRoutineInfo info;
        info.name = r.name;
        info.pos = r.pos;
        for (const tScriptParamDecl& p : r.params) {
            tScriptParamInfo param;
            param.name = p.name;
            param.type = typeOf(p.type);
            param.byRef = p.mode == tScriptParamDecl::tMode::Var;
            info.params.push_back(std::move(param));
            info.constParams.push_back(p.mode == tScriptParamDecl::tMode::Const);
        }
        if (r.isFunction) {
            if (!r.hasResult) {
                failAt(r.pos, "result type of function '" + r.name + "' expected");
            }
            info.result = typeOf(r.result);
        }
        return info;
    }

    void beginScratch(tScriptFunction& scratch) {
        scratch = tScriptFunction();
        fn_ = &scratch;
        nextReg_ = 1;
        routineName_.clear();
    }

    // A constant's value, converted to its declared type when it has one.
    void declareConst(const tScriptConstDecl& decl, std::unordered_map<std::string, tSymbol>& scope,
                      bool global) {
        const std::string key = lowerCase(decl.name);
        if (global ? globalNameTaken(key) : scope.count(key) != 0) {
            failAt(decl.pos, "duplicate identifier '" + decl.name + "'");
        }
        const tOperand value = expr(*decl.value);
        if (!value.isConst) {
            failAt(decl.value->pos, "constant expression expected");
        }
        tSymbol symbol;
        symbol.kind = tSymbol::tKind::Const;
        symbol.type = value.type;
        symbol.value = value.value;
        symbol.intType = value.intType;
        if (decl.typed) {
            symbol.type = typeOf(decl.type);
            symbol.value = convertConst(value, symbol.type, decl.value->pos);
            symbol.intType = scriptClassOf(symbol.type) == T::Int64 ? symbol.type : T::None;
        }
        scope[key] = std::move(symbol);
    }

    void declareGlobals(const tScriptVarDecl& decl) {
        const T type = typeOf(decl.type);
        for (const tScriptVarDecl::tName& name : decl.names) {
            const std::string key = lowerCase(name.name);
            if (globalNameTaken(key)) {
                failAt(name.pos, "duplicate identifier '" + name.name + "'");
            }
            tScriptValue start = zeroOf(type);
            if (decl.init) {
                const tOperand value = expr(*decl.init);
                if (!value.isConst) {
                    failAt(decl.init->pos, "constant expression expected");
                }
                start = convertConst(value, type, decl.init->pos);
            }
            tSymbol symbol;
            symbol.kind = tSymbol::tKind::Global;
            symbol.type = type;
            symbol.index = static_cast<int>(code_.globalTypes.size());
            code_.globalTypes.push_back(type);
            code_.globalStart.push_back(std::move(start));
            globals_[key] = std::move(symbol);
        }
    }

    static tScriptValue zeroOf(T type) {
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

    // ---- Routines -----------------------------------------------------

    void routine(const tScriptRoutine& r) {
        const std::string key = lowerCase(r.name);
        if (globals_.count(key) != 0) {
            failAt(r.pos, "duplicate identifier '" + r.name + "'");
        }
        if (!r.hasBody) {
            return;
        }
        const int index = routineIndex_.at(key);
        const tRoutineInfo& info = routines_[static_cast<std::size_t>(index)];
        tScriptFunction& fn = code_.functions[static_cast<std::size_t>(info.function)];
        fn.name = info.name;
        fn.pos = r.pos;
        fn.params = info.params;
        fn.result = info.result;
        beginFunction(fn, info.name);
        selfKey_ = info.result != T::None ? key : std::string();

        for (std::size_t k = 0; k < info.params.size(); ++k) {
            const tScriptParamInfo& p = info.params[k];
            tSymbol symbol;
            symbol.kind = p.byRef ? tSymbol::tKind::RefParam : tSymbol::tKind::Local;
            symbol.type = p.type;
            symbol.index = static_cast<int>(k) + 1;
            symbol.readOnly = info.constParams[k];
            declareLocal(p.name, k < r.params.size() ? r.params[k].pos : r.pos, std::move(symbol));
        }
        nextReg_ = static_cast<int>(info.params.size()) + 1;
        growFrame();
        const tScriptPos start = r.pos;
        if (info.result != T::None) {
            tSymbol symbol;
            symbol.kind = tSymbol::tKind::Local;
            symbol.type = info.result;
            symbol.index = 0;
            declareLocal("Result", r.pos, std::move(symbol));
            emit(Op::Init, start, 0, 0, 0, static_cast<std::uint8_t>(info.result));
        } else {
            emit(Op::Init, start, 0, 0, 0, static_cast<std::uint8_t>(T::Variant));
        }
        for (const tScriptDecl& decl : r.locals) {
            if (decl.kind == tScriptDecl::tKind::Const) {
                declareConst(decl.constant, locals_, false);
                continue;
            }
            const T type = typeOf(decl.variable.type);
            for (const tScriptVarDecl::tName& name : decl.variable.names) {
                tSymbol symbol;
                symbol.kind = tSymbol::tKind::Local;
                symbol.type = type;
                symbol.index = newRegister(name.pos);
                emit(Op::Init, name.pos, symbol.index, 0, 0, static_cast<std::uint8_t>(type));
                declareLocal(name.name, name.pos, std::move(symbol));
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
        beginFunction(fn, "");
        selfKey_.clear();
        emit(Op::Init, fn.pos, 0, 0, 0, static_cast<std::uint8_t>(T::Variant));
        body(statements, unit_.endPos);
        return index;
    }

    void beginFunction(tScriptFunction& fn, const std::string& name) {
        fn_ = &fn;
        routineName_ = name;
        locals_.clear();
        loops_.clear();
        nextReg_ = 1;
        fn.frameSize = 1;
    }

    void body(const std::vector<tScriptStmtPtr>& statements, tScriptPos end) {
        tLabel exit;
        exit_ = &exit;
        for (const tScriptStmtPtr& s : statements) {
            statement(*s);
        }
        bind(exit);
        emit(Op::Return, end);
        exit_ = nullptr;
    }

    void declareLocal(const std::string& name, tScriptPos pos, tSymbol symbol) {
        const std::string key = lowerCase(name);
        if (locals_.count(key) != 0) {
            failAt(pos, "duplicate identifier '" + name + "'");
        }
        locals_[key] = std::move(symbol);
    }

    // ---- Emitting -----------------------------------------------------

    int emit(Op code, tScriptPos pos, int a = 0, int b = 0, int c = 0, std::uint8_t sub = 0) {
        fn_->code.push_back(tScriptOp{code, sub, a, b, c});
        fn_->positions.push_back(pos);
        return static_cast<int>(fn_->code.size()) - 1;
    }

    int here() const { return static_cast<int>(fn_->code.size()); }

    void jumpTo(tLabel& label, int op) {
        if (label.at >= 0) {
            fn_->code[static_cast<std::size_t>(op)].a = label.at;
        } else {
            label.uses.push_back(op);
        }
    }

    void bind(tLabel& label) {
        label.at = here();
        for (int op : label.uses) {
            fn_->code[static_cast<std::size_t>(op)].a = label.at;
        }
        label.uses.clear();
    }

    void growFrame() {
        if (nextReg_ > tScriptCompiler::kMaxFrameSize) {
            failAt(fn_->pos, "routine needs more than " +
                                 std::to_string(tScriptCompiler::kMaxFrameSize) + " registers");
        }
        fn_->frameSize = std::max(fn_->frameSize, nextReg_);
    }

    int newRegister(tScriptPos pos) {
        const int reg = nextReg_++;
        if (nextReg_ > tScriptCompiler::kMaxFrameSize) {
            failAt(pos, "routine needs more than " +
                            std::to_string(tScriptCompiler::kMaxFrameSize) + " registers");
        }
        fn_->frameSize = std::max(fn_->frameSize, nextReg_);
        return reg;
    }

    int target(int hint, tScriptPos pos) { return hint >= 0 ? hint : newRegister(pos); }

    int constant(tScriptValue value) {
        fn_->constants.push_back(std::move(value));
        return static_cast<int>(fn_->constants.size()) - 1;
    }

    // Places a constant operand in a register.
    int place(tOperand& v, tScriptPos pos, int hint = -1) {
        if (v.isConst) {
            v.reg = target(hint, pos);
            emit(Op::LoadConst, pos, v.reg, constant(v.value));
            v.isConst = false;
        }
        return v.reg;
    }

    static tOperand inRegister(T cls, int reg, T declared = T::None) {
        tOperand v;
        v.type = cls;
        v.declared = declared == T::None ? cls : declared;
        v.intType = cls == T::Int64 ? v.declared : T::None;
        v.reg = reg;
        return v;
    }

    static tOperand constOperand(tScriptValue value, T cls) {
        tOperand v;
        v.type = cls;
        v.declared = cls;
        v.isConst = true;
        v.value = std::move(value);
        return v;
    }

    // ---- Conversions --------------------------------------------------

    void checkAssignable(T to, const tOperand& v, tScriptPos pos) const {
        const T cls = scriptClassOf(to);
        if (v.type == T::None) {
            failAt(pos, "a procedure call has no value");
        }
        if (cls == T::Variant || v.type == T::Variant || cls == v.type ||
            (cls == T::Real && v.type == T::Int64)) {
            return;
        }
        mismatch(pos, to, v.type);
    }

    // A constant's value in type `to`, its types already checked; `fault`
    // says why when it does not fit.
    static tScriptValue constValueAs(const tOperand& v, T to, std::string& fault) {
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

    tScriptValue convertConst(const tOperand& v, T to, tScriptPos pos) const {
        checkAssignable(to, v, pos);
        std::string fault;
        tScriptValue value = constValueAs(v, to, fault);
        if (!fault.empty()) {
            failAt(pos, fault);
        }
        return value;
    }

    // Puts `v`, converted to the declared type `to`, in register `dest`.
    void convertInto(tOperand v, T to, int dest, tScriptPos pos) {
        checkAssignable(to, v, pos);
        if (v.isConst) {
            std::string fault;
            tScriptValue value = constValueAs(v, to, fault);
            if (fault.empty()) {
                emit(Op::LoadConst, pos, dest, constant(std::move(value)));
                return;
            }
            if (!v.fromCall) {
                failAt(pos, fault);
            }
            // As it is: the checks below fail when they run.
            place(v, pos, dest);
        }
        const T cls = scriptClassOf(to);
        if (cls == T::Variant || cls == v.type) {
            if (v.reg != dest) {
                const Op move = v.type == T::String    ? Op::MoveString
                                : v.type == T::Variant ? Op::MoveValue
                                                       : Op::MoveScalar;
                emit(move, pos, dest, v.reg);
            }
        } else if (v.type == T::Int64) {
            emit(Op::IntToReal, pos, dest, v.reg);
        } else {
            const Op convert = cls == T::Int64     ? Op::ToInteger
                               : cls == T::Real    ? Op::ToReal
                               : cls == T::Boolean ? Op::ToBoolean
                                                   : Op::ToString;
            emit(convert, pos, dest, v.reg);
        }
        const T from = v.type == T::Variant ? T::Variant : v.declared;
        if (!rangeContains(to, from)) {
            emit(Op::CheckRange, pos, dest, 0, 0, static_cast<std::uint8_t>(to));
        }
        if (to == T::Single && from != T::Single) {
            emit(Op::RoundSingle, pos, dest);
        }
    }

    // `v` as a register of class `cls` (Int64 to Real, Variant to either).
    int asClass(tOperand v, T cls, tScriptPos pos) {
        if (!v.isConst && v.type == cls) {
            return v.reg;
        }
        const int reg = newRegister(pos);
        convertInto(std::move(v), cls, reg, pos);
        return reg;
    }

    // ---- Names --------------------------------------------------------

    const tSymbol* findVariable(const std::string& key) const {
        if (const auto local = locals_.find(key); local != locals_.end()) {
            return &local->second;
        }
        if (const auto global = globals_.find(key); global != globals_.end()) {
            return &global->second;
        }
        return nullptr;
    }

    const tRoutineInfo* findRoutine(const std::string& key) const {
        const auto found = routineIndex_.find(key);
        return found == routineIndex_.end() ? nullptr
                                            : &routines_[static_cast<std::size_t>(found->second)];
    }

    // The value of a variable or constant symbol.
    tOperand read(const tSymbol& symbol, int hint, tScriptPos pos) {
        const T cls = scriptClassOf(symbol.type);
        switch (symbol.kind) {
            case tSymbol::tKind::Const: {
                tOperand v = constOperand(symbol.value, cls);
                v.intType = symbol.intType;
                return v;
            }
            case tSymbol::tKind::Local:
                return inRegister(cls, symbol.index, symbol.type);
            case tSymbol::tKind::RefParam: {
                const int reg = target(hint, pos);
                emit(Op::LoadRef, pos, reg, symbol.index);
                return inRegister(cls, reg, symbol.type);
            }
            case tSymbol::tKind::Global: {
                const int reg = target(hint, pos);
                emit(Op::LoadGlobal, pos, reg, symbol.index);
                return inRegister(cls, reg, symbol.type);
            }
        }
        return {};
    }

    tOperand name(const tScriptExpr& e, int hint) {
        const std::string key = lowerCase(e.text);
        if (const tSymbol* symbol = findVariable(key)) {
            return read(*symbol, hint, e.pos);
        }
        if (findRoutine(key) != nullptr || tScriptBuiltins::Find(key) != nullptr || key == "inc" ||
            key == "dec") {
            return call(e, hint, false);
        }
        if (const auto found = predefined_.find(key); found != predefined_.end()) {
            return read(found->second, hint, e.pos);
        }
        failAt(e.pos, "undeclared identifier '" + e.text + "'");
    }

    // ---- Expressions --------------------------------------------------

    tOperand expr(const tScriptExpr& e, int hint = -1) {
        switch (e.kind) {
            case EK::Integer:
                return constOperand(tScriptValue::Integer(e.integer), T::Int64);
            case EK::Real:
                return constOperand(tScriptValue::Real(e.real), T::Real);
            case EK::String:
                return constOperand(tScriptValue::String(e.text), T::String);
            case EK::Name:
                return name(e, hint);
            case EK::Call:
                return call(e, hint, false);
            case EK::Unary:
                return unary(e, hint);
            case EK::Binary:
                if (e.op == O::And || e.op == O::Or) {
                    return logical(e, hint);
                }
                return binary(e, hint);
        }
        return {};
    }

    // An operator on constants, not, shl and shr in the integer type
    // `width` (None for the others). A fault on true constants is a compile
    // error; on a value from a built-in call there is no constant, and the
    // code computes it when it runs.
    std::optional<tOperand> fold(O op, const tOperand& left, const tOperand* right, T cls, T width,
                                 tScriptPos pos) {
        const bool fromCall = left.fromCall || (right != nullptr && right->fromCall);
        tScriptValue out;
        try {
            if (width != T::None) {
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
            }
        } catch (const tScriptFault& fault) {
            if (fromCall) {
                return std::nullopt;
            }
            failAt(pos, fault.what());
        }
        tOperand v = constOperand(std::move(out), cls);
        v.fromCall = fromCall;
        return v;
    }

    tOperand unary(const tScriptExpr& e, int hint) {
        tOperand v = expr(*e.items[0]);
        const T cls = v.type;
        const bool negate = e.op == O::Negate;
        if (!(cls == T::Variant || cls == T::Int64 || (negate && cls == T::Real) ||
              (!negate && cls == T::Boolean))) {
            failAt(e.pos, std::string("operator '") + operatorName(e.op) +
                              "' cannot be applied to '" + scriptTypeName(cls) + "'");
        }
        const bool ints = cls == T::Int64;
        const T own = ints ? intTypeOf(v) : T::None;
        const T width = ints && !negate ? own : T::None;
        T type = T::None;
        if (ints) {
            // not keeps its operand's type; a negated Cardinal needs an Int64.
            const T negated = promoted(own) == T::Cardinal ? T::Int64 : promoted(own);
            type = resultType(v, nullptr, negate ? negated : own);
        }
        if (v.isConst) {
            if (std::optional<tOperand> folded = fold(e.op, v, nullptr, cls, width, e.pos)) {
                folded->intType = type;
                return *std::move(folded);
            }
        }
        const int source = place(v, e.pos);
        const int reg = target(hint, e.pos);
        if (cls == T::Variant) {
            emit(Op::Unary, e.pos, reg, source, 0, static_cast<std::uint8_t>(e.op));
        } else {
            const Op code = cls == T::Int64  ? (negate ? Op::NegInt : Op::NotInt)
                            : cls == T::Real ? Op::NegReal
                                             : Op::NotBool;
            emit(code, e.pos, reg, source, 0,
                 code == Op::NotInt ? static_cast<std::uint8_t>(width) : 0);
        }
        tOperand result = inRegister(cls, reg);
        result.intType = type;
        return result;
    }

    [[noreturn]] void badOperands(const tScriptExpr& e, T a, T b) const {
        failAt(e.pos, std::string("operator '") + operatorName(e.op) + "' cannot combine '" +
                          scriptTypeName(a) + "' and '" + scriptTypeName(b) + "'");
    }

    // The operation for two operands of these classes, the class both are
    // converted to first and the class of the result.
    struct tPlan {
        Op code = Op::Binary;
        T operands = T::Variant;
        T result = T::Variant;
    };

    tPlan plan(const tScriptExpr& e, T a, T b) const {
        if (a == T::None || b == T::None) {
            failAt(e.pos, "a procedure call has no value");
        }
        const bool relational = isRelational(e.op);
        if (a == T::Variant || b == T::Variant) {
            return {relational ? Op::CompareValue : Op::Binary, T::Variant,
                    relational ? T::Boolean : T::Variant};
        }
        const bool ints = a == T::Int64 && b == T::Int64;
        const bool numbers = isNumeric(a) && isNumeric(b);
        switch (e.op) {
            case O::Add:
                if (a == T::String && b == T::String) {
                    return {Op::Concat, T::String, T::String};
                }
                [[fallthrough]];
            case O::Subtract:
            case O::Multiply: {
                if (!numbers) {
                    break;
                }
                const int k = e.op == O::Add ? 0 : e.op == O::Subtract ? 1 : 2;
                if (ints) {
                    return {k == 0   ? Op::AddInt
                            : k == 1 ? Op::SubInt
                                     : Op::MulInt,
                            T::Int64, T::Int64};
                }
                return {k == 0   ? Op::AddReal
                        : k == 1 ? Op::SubReal
                                 : Op::MulReal,
                        T::Real, T::Real};
            }
            case O::Divide:
                if (numbers) {
                    return {Op::DivReal, T::Real, T::Real};
                }
                break;
            case O::IntDiv:
            case O::Mod:
            case O::Shl:
            case O::Shr:
                if (ints) {
                    const Op code = e.op == O::IntDiv ? Op::DivInt
                                    : e.op == O::Mod  ? Op::ModInt
                                    : e.op == O::Shl  ? Op::ShlInt
                                                      : Op::ShrInt;
                    return {code, T::Int64, T::Int64};
                }
                break;
            case O::And:
            case O::Or:
            case O::Xor:
                if (ints) {
                    const Op code = e.op == O::And  ? Op::AndInt
                                    : e.op == O::Or ? Op::OrInt
                                                    : Op::XorInt;
                    return {code, T::Int64, T::Int64};
                }
                if (a == T::Boolean && b == T::Boolean && e.op == O::Xor) {
                    return {Op::XorBool, T::Boolean, T::Boolean};
                }
                break;
            default:
                if (ints) {
                    return {Op::CompareInt, T::Int64, T::Boolean};
                }
                if (numbers) {
                    return {Op::CompareReal, T::Real, T::Boolean};
                }
                if (a == b && a == T::String) {
                    return {Op::CompareString, T::String, T::Boolean};
                }
                if (a == b && a == T::Boolean) {
                    return {Op::CompareBool, T::Boolean, T::Boolean};
                }
                break;
        }
        badOperands(e, a, b);
    }

    // The integer type of an operation's result; None when it is no integer.
    static T integerType(const tPlan& p, const tOperand& left, const tOperand& right) {
        if (p.result != T::Int64) {
            return T::None;
        }
        const bool shift = p.code == Op::ShlInt || p.code == Op::ShrInt;
        return resultType(left, &right, shift ? shiftType(left) : arithmeticType(left, right));
    }

    tOperand binary(const tScriptExpr& e, int hint) {
        tOperand left = expr(*e.items[0]);
        tOperand right = expr(*e.items[1]);
        const tPlan p = plan(e, left.type, right.type);
        const bool shift = p.code == Op::ShlInt || p.code == Op::ShrInt;
        const T width = shift ? shiftType(left) : T::None;
        const T type = integerType(p, left, right);
        if (left.isConst && right.isConst) {
            if (std::optional<tOperand> folded = fold(e.op, left, &right, p.result, width, e.pos)) {
                folded->intType = type;
                return *std::move(folded);
            }
        }
        const int a = asClass(std::move(left), p.operands, e.pos);
        const int b = asClass(std::move(right), p.operands, e.pos);
        const int reg = target(hint, e.pos);
        std::uint8_t sub = 0;
        if (shift) {
            sub = static_cast<std::uint8_t>(width);
        } else if (p.code == Op::Binary || p.code == Op::CompareValue || p.code == Op::CompareInt ||
                   p.code == Op::CompareReal || p.code == Op::CompareString ||
                   p.code == Op::CompareBool) {
            sub = static_cast<std::uint8_t>(e.op);
        }
        emit(p.code, e.pos, reg, a, b, sub);
        tOperand result = inRegister(p.result, reg);
        result.intType = type;
        return result;
    }

    // "and" and "or": short-circuit on booleans, bitwise on integers.
    tOperand logical(const tScriptExpr& e, int hint) {
        const bool isAnd = e.op == O::And;
        // A fresh register, not the hint: the hint may be a variable the
        // right side reads.
        const int reg = newRegister(e.pos);
        tOperand left = expr(*e.items[0], reg);
        if (left.type != T::Boolean) {
            tOperand right = expr(*e.items[1]);
            const tPlan p = plan(e, left.type, right.type);
            const T type = integerType(p, left, right);
            if (left.isConst && right.isConst) {
                if (std::optional<tOperand> folded =
                        fold(e.op, left, &right, p.result, T::None, e.pos)) {
                    folded->intType = type;
                    return *std::move(folded);
                }
            }
            const int a = asClass(std::move(left), p.operands, e.pos);
            const int b = asClass(std::move(right), p.operands, e.pos);
            const int reg = target(hint, e.pos);
            emit(p.code, e.pos, reg, a, b, static_cast<std::uint8_t>(e.op));
            tOperand result = inRegister(p.result, reg);
            result.intType = type;
            return result;
        }
        if (left.isConst) {
            const int mark = here();
            const std::size_t constants = fn_->constants.size();
            tOperand right = expr(*e.items[1], hint);
            checkBooleanOperand(e, right);
            if (left.value.b != isAnd) {
                // "False and ..." / "True or ...": the right side never runs.
                fn_->code.resize(static_cast<std::size_t>(mark));
                fn_->positions.resize(static_cast<std::size_t>(mark));
                fn_->constants.resize(constants);
                return left;
            }
            if (right.type == T::Variant) {
                const int reg = target(hint, e.pos);
                convertInto(std::move(right), T::Boolean, reg, e.pos);
                return inRegister(T::Boolean, reg);
            }
            return right;
        }
        convertInto(std::move(left), T::Boolean, reg, e.pos);
        tLabel done;
        jumpTo(done, emit(isAnd ? Op::JumpIfFalse : Op::JumpIfTrue, e.pos, 0, reg));
        tOperand right = expr(*e.items[1], reg);
        checkBooleanOperand(e, right);
        convertInto(std::move(right), T::Boolean, reg, e.pos);
        bind(done);
        return inRegister(T::Boolean, reg);
    }

    void checkBooleanOperand(const tScriptExpr& e, const tOperand& right) const {
        if (right.type != T::Boolean && right.type != T::Variant) {
            badOperands(e, T::Boolean, right.type);
        }
    }

    // ---- Conditions ---------------------------------------------------

    static bool surelyBoolean(const tScriptExpr& e) {
        if (e.kind == EK::Binary) {
            if (isRelational(e.op)) {
                return true;
            }
            if (e.op == O::And || e.op == O::Or) {
                return surelyBoolean(*e.items[0]) || surelyBoolean(*e.items[1]);
            }
        }
        return e.kind == EK::Unary && e.op == O::Not && surelyBoolean(*e.items[0]);
    }

    // Jumps to `label` when `e` is `when`, falls through otherwise.
    void jumpIf(const tScriptExpr& e, bool when, tLabel& label) {
        if (e.kind == EK::Binary && (e.op == O::And || e.op == O::Or) && surelyBoolean(e)) {
            const bool isAnd = e.op == O::And;
            if (isAnd != when) {
                // and/false, or/true: either side decides alone.
                jumpIf(*e.items[0], when, label);
                jumpIf(*e.items[1], when, label);
            } else {
                tLabel skip;
                jumpIf(*e.items[0], !when, skip);
                jumpIf(*e.items[1], when, label);
                bind(skip);
            }
            return;
        }
        if (e.kind == EK::Unary && e.op == O::Not && surelyBoolean(*e.items[0])) {
            jumpIf(*e.items[0], !when, label);
            return;
        }
        if (e.kind == EK::Binary && isRelational(e.op)) {
            tOperand left = expr(*e.items[0]);
            tOperand right = expr(*e.items[1]);
            const tPlan p = plan(e, left.type, right.type);
            if (left.isConst && right.isConst) {
                if (std::optional<tOperand> folded =
                        fold(e.op, left, &right, T::Boolean, T::None, e.pos)) {
                    if (folded->value.b == when) {
                        jumpTo(label, emit(Op::Jump, e.pos));
                    }
                    return;
                }
            }
            const Op jump = p.code == Op::CompareInt      ? Op::JumpInt
                            : p.code == Op::CompareReal   ? Op::JumpReal
                            : p.code == Op::CompareString ? Op::JumpString
                                                          : Op::Return;
            if (jump != Op::Return) {
                const int a = asClass(std::move(left), p.operands, e.pos);
                const int b = asClass(std::move(right), p.operands, e.pos);
                const auto sub = static_cast<std::uint8_t>(static_cast<std::uint8_t>(e.op) |
                                                           (when ? 0 : kScriptJumpUnless));
                jumpTo(label, emit(jump, e.pos, 0, a, b, sub));
                return;
            }
            const int a = asClass(std::move(left), p.operands, e.pos);
            const int b = asClass(std::move(right), p.operands, e.pos);
            const int reg = newRegister(e.pos);
            emit(p.code, e.pos, reg, a, b, static_cast<std::uint8_t>(e.op));
            jumpTo(label, emit(when ? Op::JumpIfTrue : Op::JumpIfFalse, e.pos, 0, reg));
            return;
        }
        tOperand v = expr(e);
        if (v.type != T::Boolean && v.type != T::Variant) {
            failAt(e.pos, std::string("Boolean expression expected, found '") +
                              scriptTypeName(v.type) + "'");
        }
        if (v.isConst) {
            if (v.value.b == when) {
                jumpTo(label, emit(Op::Jump, e.pos));
            }
            return;
        }
        const int reg = asClass(std::move(v), T::Boolean, e.pos);
        jumpTo(label, emit(when ? Op::JumpIfTrue : Op::JumpIfFalse, e.pos, 0, reg));
    }

    // ---- Calls --------------------------------------------------------

    [[noreturn]] void wrongCount(const tScriptExpr& e, const std::string& expected,
                                 std::size_t given) const {
        failAt(e.pos, "wrong number of arguments for '" + e.text + "': " + expected +
                          " expected, " + std::to_string(given) + " given");
    }

    tOperand call(const tScriptExpr& e, int hint, bool statement) {
        const std::string key = lowerCase(e.text);
        if (findVariable(key) != nullptr) {
            failAt(e.pos, "'" + e.text + "' is not a routine");
        }
        if (const tRoutineInfo* info = findRoutine(key)) {
            return userCall(*info, e, statement);
        }
        if (key == "inc" || key == "dec") {
            if (!statement) {
                failAt(e.pos, "a procedure call has no value");
            }
            incDec(e, key == "inc");
            return {};
        }
        if (const tScriptBuiltins::tInfo* info = tScriptBuiltins::Find(key)) {
            return builtinCall(*info, e, hint);
        }
        failAt(e.pos, "undeclared identifier '" + e.text + "'");
    }

    tOperand userCall(const tRoutineInfo& info, const tScriptExpr& e, bool statement) {
        if (e.items.size() != info.params.size()) {
            wrongCount(e, std::to_string(info.params.size()), e.items.size());
        }
        if (!statement && info.result == T::None) {
            failAt(e.pos, "procedure '" + info.name + "' has no value");
        }
        const int base = nextReg_;
        nextReg_ += static_cast<int>(info.params.size()) + 1;
        growFrame();
        for (std::size_t k = 0; k < info.params.size(); ++k) {
            const tScriptParamInfo& param = info.params[k];
            const tScriptExpr& arg = *e.items[k];
            const int slot = base + 1 + static_cast<int>(k);
            if (param.byRef) {
                passByReference(param, arg, slot);
            } else {
                convertInto(expr(arg, slot), param.type, slot, arg.pos);
            }
        }
        emit(Op::Call, e.pos, base, info.function);
        return inRegister(scriptClassOf(info.result), base, info.result);
    }

    void passByReference(const tScriptParamInfo& param, const tScriptExpr& arg, int slot) {
        const tSymbol* symbol = arg.kind == EK::Name ? findVariable(lowerCase(arg.text)) : nullptr;
        if (symbol == nullptr || symbol->kind == tSymbol::tKind::Const) {
            failAt(arg.pos, "a variable is expected for var parameter '" + param.name + "'");
        }
        if (symbol->readOnly) {
            failAt(arg.pos, "cannot pass constant parameter '" + arg.text + "' by reference");
        }
        if (symbol->type != param.type) {
            failAt(arg.pos, std::string("var parameter '") + param.name + "' needs a " +
                                scriptTypeName(param.type) + " variable, '" + arg.text + "' is " +
                                scriptTypeName(symbol->type));
        }
        switch (symbol->kind) {
            case tSymbol::tKind::Local:
                emit(Op::MakeRef, arg.pos, slot, symbol->index);
                break;
            case tSymbol::tKind::Global:
                emit(Op::MakeGlobalRef, arg.pos, slot, symbol->index);
                break;
            default:
                emit(Op::MoveScalar, arg.pos, slot, symbol->index);
                break;
        }
    }

    tOperand builtinCall(const tScriptBuiltins::tInfo& first, const tScriptExpr& e, int hint) {
        if (e.items.size() != static_cast<std::size_t>(first.count)) {
            wrongCount(e, std::to_string(first.count), e.items.size());
        }
        std::vector<tOperand> args;
        bool allConst = true;
        bool allInts = true;
        for (const tScriptExprPtr& arg : e.items) {
            args.push_back(expr(*arg));
            allConst = allConst && args.back().isConst;
            allInts = allInts && args.back().type == T::Int64;
        }
        const tScriptBuiltins::tInfo& info = first.integerForm && !allInts ? (&first)[1] : first;
        for (std::size_t k = 0; k < args.size(); ++k) {
            checkAssignable(info.params[k], args[k], e.items[k]->pos);
        }
        const T type = builtinType(info, args);
        if (allConst) {
            std::vector<tScriptValue> values;
            for (std::size_t k = 0; k < args.size(); ++k) {
                values.push_back(convertConst(args[k], info.params[k], e.items[k]->pos));
            }
            tScriptValue out;
            bool folded = true;
            try {
                tScriptBuiltins::Run(info.id, values.data(), out);
                if (out.kind == tScriptValue::tKind::Real) {
                    scriptCheckReal(out.r);
                }
            } catch (const tScriptFault&) {
                // No constant: the call fails when it runs, as it would on
                // any argument, and only if it runs.
                folded = false;
            }
            if (folded) {
                tOperand v = constOperand(std::move(out), info.result);
                v.intType = type;
                v.fromCall = true;
                return v;
            }
        }
        const int reg = target(hint, e.pos);
        tOperand result = inRegister(info.result, reg);
        result.intType = type;
        // One argument already in a register of its class is read in place.
        if (args.size() == 1 && !args[0].isConst && args[0].type == info.params[0]) {
            emit(Op::Builtin, e.pos, reg, args[0].reg, static_cast<int>(info.id));
            return result;
        }
        const int first_ = nextReg_;
        nextReg_ += static_cast<int>(args.size());
        growFrame();
        for (std::size_t k = 0; k < args.size(); ++k) {
            convertInto(std::move(args[k]), info.params[k], first_ + static_cast<int>(k),
                        e.items[k]->pos);
        }
        emit(Op::Builtin, e.pos, reg, first_, static_cast<int>(info.id));
        return result;
    }

    // The integer type of a built-in's result: Round and Trunc give an
    // Int64, Abs, Sqr, Min and Max their arguments' type, the others an
    // Integer.
    static T builtinType(const tScriptBuiltins::tInfo& info, const std::vector<tOperand>& args) {
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

    // ---- Statements ---------------------------------------------------

    // Where an assignment to `name` goes.
    struct tPlace {
        tSymbol::tKind kind = tSymbol::tKind::Local;
        T type = T::Variant;
        int index = 0;
    };

    tPlace assignable(const std::string& name, tScriptPos pos) const {
        const std::string key = lowerCase(name);
        const tSymbol* symbol = findVariable(key);
        if (symbol == nullptr && !selfKey_.empty() && key == selfKey_) {
            symbol = &locals_.at("result");
        }
        if (symbol == nullptr) {
            if (findRoutine(key) != nullptr) {
                failAt(pos, "cannot assign to routine '" + name + "'");
            }
            if (predefined_.count(key) != 0) {
                failAt(pos, "cannot assign to constant '" + name + "'");
            }
            failAt(pos, "undeclared identifier '" + name + "'");
        }
        if (symbol->kind == tSymbol::tKind::Const) {
            failAt(pos, "cannot assign to constant '" + name + "'");
        }
        if (symbol->readOnly) {
            failAt(pos, "cannot assign to constant parameter '" + name + "'");
        }
        return {symbol->kind, symbol->type, symbol->index};
    }

    // Stores register `reg` (already of the place's type) into the place.
    void store(const tPlace& place, int reg, tScriptPos pos) {
        if (place.kind == tSymbol::tKind::Global) {
            emit(Op::StoreGlobal, pos, place.index, reg);
        } else if (place.kind == tSymbol::tKind::RefParam) {
            emit(Op::StoreRef, pos, place.index, reg);
        }
    }

    void assign(const tPlace& place, const tScriptExpr& value, tScriptPos pos) {
        if (place.kind == tSymbol::tKind::Local) {
            convertInto(expr(value, place.index), place.type, place.index, pos);
            return;
        }
        const int reg = newRegister(pos);
        convertInto(expr(value, reg), place.type, reg, pos);
        store(place, reg, pos);
    }

    void incDec(const tScriptExpr& e, bool increment) {
        if (e.items.empty() || e.items.size() > 2) {
            wrongCount(e, "1 or 2", e.items.size());
        }
        const tScriptExpr& var = *e.items[0];
        if (var.kind != EK::Name) {
            failAt(var.pos, "a variable is expected for '" + e.text + "'");
        }
        const tPlace place = assignable(var.text, var.pos);
        if (scriptClassOf(place.type) != T::Int64) {
            failAt(var.pos, "'" + e.text + "' needs an integer variable, '" + var.text + "' is " +
                                scriptTypeName(place.type));
        }
        int reg = place.index;
        if (place.kind == tSymbol::tKind::Global) {
            reg = newRegister(e.pos);
            emit(Op::LoadGlobal, e.pos, reg, place.index);
        } else if (place.kind == tSymbol::tKind::RefParam) {
            reg = newRegister(e.pos);
            emit(Op::LoadRef, e.pos, reg, place.index);
        }
        tOperand step = e.items.size() == 2 ? expr(*e.items[1])
                                            : constOperand(tScriptValue::Integer(1), T::Int64);
        checkAssignable(T::Int64, step, e.items.size() == 2 ? e.items[1]->pos : e.pos);
        constexpr std::int64_t kImmediate = std::numeric_limits<std::int32_t>::max();
        if (step.isConst && step.value.kind == tScriptValue::tKind::Integer &&
            step.value.i >= -kImmediate && step.value.i <= kImmediate) {
            const auto amount = static_cast<int>(step.value.i);
            emit(Op::AddIntImm, e.pos, reg, reg, increment ? amount : -amount);
        } else {
            const int amount = asClass(std::move(step), T::Int64, e.pos);
            emit(increment ? Op::AddInt : Op::SubInt, e.pos, reg, reg, amount);
        }
        if (!rangeContains(place.type, T::Int64)) {
            emit(Op::CheckRange, e.pos, reg, 0, 0, static_cast<std::uint8_t>(place.type));
        }
        store(place, reg, e.pos);
    }

    void statement(const tScriptStmt& s) {
        const int mark = nextReg_;
        switch (s.kind) {
            case SK::Empty:
                break;
            case SK::Assign:
                assign(assignable(s.name, s.namePos), *s.expr, s.namePos);
                break;
            case SK::Call:
                if (s.expr->kind == EK::Name && findVariable(lowerCase(s.expr->text)) != nullptr) {
                    failAt(s.expr->pos, "'" + s.expr->text + "' is not a procedure");
                }
                call(*s.expr, -1, true);
                break;
            case SK::Compound:
                for (const tScriptStmtPtr& inner : s.list) {
                    statement(*inner);
                }
                break;
            case SK::If: {
                tLabel otherwise;
                jumpIf(*s.expr, false, otherwise);
                statement(*s.body);
                if (s.elseBody) {
                    tLabel done;
                    jumpTo(done, emit(Op::Jump, s.pos));
                    bind(otherwise);
                    statement(*s.elseBody);
                    bind(done);
                } else {
                    bind(otherwise);
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
                tLabel top;
                tLabel done;
                bind(top);
                jumpIf(*s.expr, false, done);
                loops_.push_back({&done, &top});
                statement(*s.body);
                loops_.pop_back();
                jumpTo(top, emit(Op::Jump, s.pos));
                bind(done);
                break;
            }
            case SK::Repeat: {
                tLabel top;
                tLabel next;
                tLabel done;
                bind(top);
                loops_.push_back({&done, &next});
                for (const tScriptStmtPtr& inner : s.list) {
                    statement(*inner);
                }
                loops_.pop_back();
                bind(next);
                jumpIf(*s.expr, false, top);
                bind(done);
                break;
            }
            case SK::Exit:
                if (s.expr) {
                    if (selfKey_.empty()) {
                        failAt(s.pos, "only a function can exit with a value");
                    }
                    const tSymbol& result = locals_.at("result");
                    convertInto(expr(*s.expr, 0), result.type, 0, s.expr->pos);
                }
                jumpTo(*exit_, emit(Op::Jump, s.pos));
                break;
            case SK::Break:
            case SK::Continue:
                if (loops_.empty()) {
                    failAt(s.pos, std::string(s.kind == SK::Break ? "'break'" : "'continue'") +
                                      " outside a loop");
                }
                jumpTo(
                    s.kind == SK::Break ? *loops_.back().breakLabel : *loops_.back().continueLabel,
                    emit(Op::Jump, s.pos));
                break;
        }
        nextReg_ = mark;
    }

    std::int64_t caseLabel(const tScriptExpr& e) {
        const tOperand v = expr(e);
        if (!v.isConst || v.type != T::Int64) {
            failAt(e.pos, "constant integer expected as case label");
        }
        return v.value.i;
    }

    void caseStatement(const tScriptStmt& s) {
        tOperand selector = expr(*s.expr);
        if (selector.type != T::Int64 && selector.type != T::Variant) {
            failAt(s.expr->pos, std::string("integer expression expected, found '") +
                                    scriptTypeName(selector.type) + "'");
        }
        const int reg = asClass(std::move(selector), T::Int64, s.expr->pos);
        const auto table = static_cast<int>(fn_->cases.size());
        fn_->cases.emplace_back();
        emit(Op::Case, s.pos, reg, table);
        std::vector<tScriptCaseTable::tRange> ranges;
        std::vector<tScriptPos> labelPositions;
        tLabel done;
        for (const tScriptCaseBranch& branch : s.branches) {
            for (const tScriptCaseBranch::tLabel& label : branch.labels) {
                tScriptCaseTable::tRange range;
                range.low = caseLabel(*label.low);
                range.high = label.high ? caseLabel(*label.high) : range.low;
                if (range.high < range.low) {
                    failAt(label.low->pos, "empty case range");
                }
                range.target = here();
                ranges.push_back(range);
                labelPositions.push_back(label.low->pos);
            }
            statement(*branch.body);
            jumpTo(done, emit(Op::Jump, s.pos));
        }
        const int otherwise = here();
        for (const tScriptStmtPtr& inner : s.list) {
            statement(*inner);
        }
        bind(done);
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
        ranges = std::move(sorted);
        tScriptCaseTable& entry = fn_->cases[static_cast<std::size_t>(table)];
        entry.ranges = std::move(ranges);
        entry.otherwise = otherwise;
    }

    void forStatement(const tScriptStmt& s) {
        const tPlace place = assignable(s.name, s.namePos);
        if (place.kind == tSymbol::tKind::RefParam || scriptClassOf(place.type) != T::Int64) {
            failAt(s.namePos, "for-loop variable must be a local or global integer variable");
        }
        const int counter = newRegister(s.pos);
        convertInto(expr(*s.expr, counter), T::Int64, counter, s.expr->pos);
        const int limit = newRegister(s.pos);
        convertInto(expr(*s.limit, limit), T::Int64, limit, s.limit->pos);
        tLabel done;
        tLabel next;
        const auto past = static_cast<std::uint8_t>(s.downto ? O::Less : O::Greater);
        jumpTo(done, emit(Op::JumpInt, s.pos, 0, counter, limit, past));
        const int top = here();
        if (!rangeContains(place.type, T::Int64)) {
            emit(Op::CheckRange, s.namePos, counter, 0, 0, static_cast<std::uint8_t>(place.type));
        }
        if (place.kind == tSymbol::tKind::Local) {
            emit(Op::MoveScalar, s.namePos, place.index, counter);
        } else {
            store(place, counter, s.namePos);
        }
        loops_.push_back({&done, &next});
        statement(*s.body);
        loops_.pop_back();
        bind(next);
        emit(s.downto ? Op::ForDown : Op::ForUp, s.pos, counter, limit, top);
        bind(done);
    }

    const tScriptUnit& unit_;
    tScriptCode code_;
    std::unordered_map<std::string, tSymbol> globals_;
    std::unordered_map<std::string, tSymbol> predefined_;
    std::unordered_map<std::string, int> routineIndex_;
    std::vector<tRoutineInfo> routines_;

    // The routine being compiled.
    tScriptFunction* fn_ = nullptr;
    std::unordered_map<std::string, tSymbol> locals_;
    std::string routineName_;
    std::string selfKey_;  // a function's own name, which assignments give Result
    int nextReg_ = 1;
    tLabel* exit_ = nullptr;
    struct tLoop {
        tLabel* breakLabel;
        tLabel* continueLabel;
    };
    std::vector<tLoop> loops_;
};

}  // namespace

tScriptCode tScriptCompiler::Compile(const tScriptUnit& unit) {
    return tGenerator(unit).Run();
}

}  // namespace vantrel
