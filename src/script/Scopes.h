#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "script/Code.h"
#include "script/Emitter.h"
#include "script/Syntax.h"

namespace vantrel {

struct tScriptSymbol {
    enum class tKind : std::uint8_t { Const, Global, Local, RefParam };
    tKind kind = tKind::Const;
    tScriptType type = tScriptType::Variant;  // as declared
    tScriptValue value;                       // Const
    tScriptType intType = tScriptType::None;  // Const: as tScriptOperand::intType
    int index = 0;                            // global index or register
    bool readOnly = false;
};

struct tScriptRoutineInfo {
    std::string name;
    tScriptPos pos;
    std::vector<tScriptParamInfo> params;
    std::vector<bool> constParams;
    tScriptType result = tScriptType::None;
    bool hasBody = false;
    int function = 0;
};

// The names a unit declares: predefined constants, globals, routines and
// the locals of the routine being compiled. Names are compared without
// regard to letter case; a local hides a global of the same name.
class tScriptScopes {
public:
    // `emitter` names the routine in messages.
    explicit tScriptScopes(const tScriptEmitter& emitter);

    // A name as the scopes compare it.
    static std::string Key(std::string_view name);
    tScriptType TypeOf(const tScriptTypeRef& ref) const;

    // Every routine of the unit, each given its function in `code` up front
    // so that calls may come before bodies; a body is matched to its
    // forward heading.
    void DeclareRoutines(const std::vector<tScriptDecl>& decls, tScriptCode& code);
    // The first routine declared without a body; nullptr when there is none.
    const tScriptRoutineInfo* MissingBody() const;

    const tScriptRoutineInfo* FindRoutine(const std::string& key) const;
    // Locals first, then globals.
    const tScriptSymbol* FindVariable(const std::string& key) const;
    const tScriptSymbol* FindPredefined(const std::string& key) const;
    bool HasGlobal(const std::string& key) const { return globals_.count(key) != 0; }

    // Fails when `name` is taken in the scope: globals share theirs with
    // routines.
    void CheckFree(const std::string& name, tScriptPos pos, bool global) const;
    void Add(const std::string& name, tScriptSymbol symbol, bool global);
    void DeclareLocal(const std::string& name, tScriptPos pos, tScriptSymbol symbol);

    // A new local scope; `self` is a function's own name, which assignments
    // give Result (empty for a procedure).
    void BeginRoutine(std::string self);
    bool InFunction() const { return !self_.empty(); }
    const tScriptSymbol& Result() const { return locals_.at("result"); }

    // Where an assignment to `name` goes.
    struct tPlace {
        tScriptSymbol::tKind kind = tScriptSymbol::tKind::Local;
        tScriptType type = tScriptType::Variant;
        int index = 0;
    };
    tPlace Assignable(const std::string& name, tScriptPos pos) const;

private:
    tScriptRoutineInfo heading(const tScriptRoutine& r) const;

    const tScriptEmitter& emitter_;
    std::unordered_map<std::string, tScriptSymbol> predefined_;
    std::unordered_map<std::string, tScriptSymbol> globals_;
    std::unordered_map<std::string, int> routineIndex_;
    std::vector<tScriptRoutineInfo> routines_;
    std::unordered_map<std::string, tScriptSymbol> locals_;
    std::string self_;
};

}  // namespace vantrel
