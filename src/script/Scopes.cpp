#include "script/Scopes.h"

#include <utility>

namespace vantrel {

using T = tScriptType;

tScriptScopes::tScriptScopes(const tScriptEmitter& emitter) : emitter_(emitter) {
    for (const char* name : {"true", "false", "pi"}) {
        tScriptSymbol symbol;
        symbol.kind = tScriptSymbol::tKind::Const;
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

std::string tScriptScopes::Key(std::string_view name) {
    std::string key(name);
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return key;
}

T tScriptScopes::TypeOf(const tScriptTypeRef& ref) const {
    const T type = scriptTypeFromName(Key(ref.name));
    if (type == T::None) {
        emitter_.Fail(ref.pos, "unknown type '" + ref.name + "'");
    }
    return type;
}

void tScriptScopes::DeclareRoutines(const std::vector<tScriptDecl>& decls, tScriptCode& code) {
    for (const tScriptDecl& decl : decls) {
        if (decl.kind != tScriptDecl::tKind::Routine) {
            continue;
        }
        const tScriptRoutine& r = *decl.routine;
        const std::string key = Key(r.name);
        const auto found = routineIndex_.find(key);
        if (found == routineIndex_.end()) {
            tScriptRoutineInfo info = heading(r);
            info.hasBody = r.hasBody;
            info.function = static_cast<int>(code.functions.size());
            code.functions.emplace_back();
            routineIndex_[key] = static_cast<int>(routines_.size());
            routines_.push_back(std::move(info));
            continue;
        }
        tScriptRoutineInfo& info = routines_[static_cast<std::size_t>(found->second)];
        if (info.hasBody || !r.hasBody) {
            emitter_.Fail(r.pos, "duplicate identifier '" + r.name + "'");
        }
        if (r.hasParamList || r.hasResult) {
            const tScriptRoutineInfo again = heading(r);
            bool same = again.params.size() == info.params.size() && again.result == info.result &&
                        again.constParams == info.constParams;
            for (std::size_t k = 0; same && k < again.params.size(); ++k) {
                same = again.params[k].type == info.params[k].type &&
                       again.params[k].byRef == info.params[k].byRef;
            }
            if (!same) {
                emitter_.Fail(
                    r.pos, "declaration of '" + r.name + "' differs from its earlier declaration");
            }
            info.params = again.params;  // the body's parameter names
        }
        info.hasBody = true;
    }
}

tScriptRoutineInfo tScriptScopes::heading(const tScriptRoutine& r) const {
    tScriptRoutineInfo info;
    info.name = r.name;
    info.pos = r.pos;
    for (const tScriptParamDecl& p : r.params) {
        tScriptParamInfo param;
        param.name = p.name;
        param.type = TypeOf(p.type);
        param.byRef = p.mode == tScriptParamDecl::tMode::Var;
        info.params.push_back(std::move(param));
        info.constParams.push_back(p.mode == tScriptParamDecl::tMode::Const);
    }
    if (r.isFunction) {
        if (!r.hasResult) {
            emitter_.Fail(r.pos, "result type of function '" + r.name + "' expected");
        }
        info.result = TypeOf(r.result);
    }
    return info;
}

const tScriptRoutineInfo* tScriptScopes::MissingBody() const {
    for (const tScriptRoutineInfo& info : routines_) {
        if (!info.hasBody) {
            return &info;
        }
    }
    return nullptr;
}

const tScriptRoutineInfo* tScriptScopes::FindRoutine(const std::string& key) const {
    const auto found = routineIndex_.find(key);
    return found == routineIndex_.end() ? nullptr
                                        : &routines_[static_cast<std::size_t>(found->second)];
}

const tScriptSymbol* tScriptScopes::FindVariable(const std::string& key) const {
    if (const auto local = locals_.find(key); local != locals_.end()) {
        return &local->second;
    }
    if (const auto global = globals_.find(key); global != globals_.end()) {
        return &global->second;
    }
    return nullptr;
}

const tScriptSymbol* tScriptScopes::FindPredefined(const std::string& key) const {
    const auto found = predefined_.find(key);
    return found == predefined_.end() ? nullptr : &found->second;
}

void tScriptScopes::CheckFree(const std::string& name, tScriptPos pos, bool global) const {
    const std::string key = Key(name);
    const bool taken = global ? globals_.count(key) != 0 || routineIndex_.count(key) != 0
                              : locals_.count(key) != 0;
    if (taken) {
        emitter_.Fail(pos, "duplicate identifier '" + name + "'");
    }
}

void tScriptScopes::Add(const std::string& name, tScriptSymbol symbol, bool global) {
    (global ? globals_ : locals_)[Key(name)] = std::move(symbol);
}

void tScriptScopes::DeclareLocal(const std::string& name, tScriptPos pos, tScriptSymbol symbol) {
    CheckFree(name, pos, false);
    Add(name, std::move(symbol), false);
}

void tScriptScopes::BeginRoutine(std::string self) {
    locals_.clear();
    self_ = std::move(self);
}

tScriptScopes::tPlace tScriptScopes::Assignable(const std::string& name, tScriptPos pos) const {
    const std::string key = Key(name);
    const tScriptSymbol* symbol = FindVariable(key);
    if (symbol == nullptr && !self_.empty() && key == self_) {
        symbol = &Result();
    }
    if (symbol == nullptr) {
        if (FindRoutine(key) != nullptr) {
            emitter_.Fail(pos, "cannot assign to routine '" + name + "'");
        }
        if (predefined_.count(key) != 0) {
            emitter_.Fail(pos, "cannot assign to constant '" + name + "'");
        }
        emitter_.Fail(pos, "undeclared identifier '" + name + "'");
    }
    if (symbol->kind == tScriptSymbol::tKind::Const) {
        emitter_.Fail(pos, "cannot assign to constant '" + name + "'");
    }
    if (symbol->readOnly) {
        emitter_.Fail(pos, "cannot assign to constant parameter '" + name + "'");
    }
    return {symbol->kind, symbol->type, symbol->index};
}

}  // namespace vantrel
