#include "script/ScriptProgram.h"

#include <cmath>
#include <limits>
#include <utility>

#include "base/Error.h"
#include "script/Compiler.h"
#include "script/Fault.h"
#include "script/Lexer.h"
#include "script/Parser.h"

namespace vantrel {

tScriptProgram::tScriptProgram() = default;
tScriptProgram::~tScriptProgram() = default;

void tScriptProgram::SetSource(std::string source) {
    source_ = std::move(source);
    machine_.reset();
    code_.reset();
    cachedIndex_ = -1;
    cachedName_.clear();
}

void tScriptProgram::Compile() {
    machine_.reset();
    code_.reset();
    cachedIndex_ = -1;
    cachedName_.clear();
    const tScriptUnit unit = tScriptParser::Parse(tScriptLexer::Tokenize(source_));
    auto code = std::make_unique<tScriptCode>(tScriptCompiler::Compile(unit));
    auto machine = std::make_unique<tScriptMachine>(*code);
    machine->SetStepBudget(stepBudget_);
    machine->SetDepthLimit(depthLimit_);
    if (code->initialization >= 0) {
        machine->Run(code->initialization, {});
    }
    code_ = std::move(code);
    machine_ = std::move(machine);
}

void tScriptProgram::SetStepBudget(std::int64_t steps) {
    stepBudget_ = steps;
    if (machine_) {
        machine_->SetStepBudget(steps);
    }
}

void tScriptProgram::SetCallDepthLimit(int depth) {
    depthLimit_ = depth;
    if (machine_) {
        machine_->SetDepthLimit(depth);
    }
}

std::int64_t tScriptProgram::StepsUsed() const {
    return machine_ ? machine_->StepsUsed() : 0;
}

std::vector<std::string> tScriptProgram::Routines() const {
    std::vector<std::string> names;
    if (code_) {
        for (const tScriptFunction& fn : code_->functions) {
            if (!fn.name.empty()) {
                names.push_back(fn.name);
            }
        }
    }
    return names;
}

int tScriptProgram::routineIndex(std::string_view function) {
    if (!code_) {
        throw tError("script not compiled");
    }
    // The experiment calls one routine over and over: remember it.
    if (cachedIndex_ >= 0 && function == cachedName_) {
        return cachedIndex_;
    }
    const int index = code_->FindRoutine(function);
    if (index < 0) {
        throw tError("function '" + std::string(function) + "' not found");
    }
    cachedName_ = std::string(function);
    cachedIndex_ = index;
    return index;
}

tScriptValue tScriptProgram::CallValue(std::string_view function,
                                       std::span<const tScriptValue> args) {
    return machine_->Run(routineIndex(function), args);
}

int tScriptProgram::Call(std::string_view function, std::span<const tScriptArg> args) {
    const int index = routineIndex(function);
    args_.resize(args.size());
    for (std::size_t k = 0; k < args.size(); ++k) {
        switch (args[k].kind) {
            case tScriptArg::tKind::Empty:
                args_[k].kind = tScriptValue::tKind::Empty;
                break;
            case tScriptArg::tKind::Integer:
                // Only whole numbers in range cast; anything else an Integer
                // argument may carry goes on as the real it is.
                if (std::trunc(args[k].value) == args[k].value &&
                    std::fabs(args[k].value) < 9223372036854775808.0) {
                    args_[k].SetInteger(static_cast<std::int64_t>(args[k].value));
                } else {
                    args_[k].SetReal(args[k].value);
                }
                break;
            case tScriptArg::tKind::Real:
                args_[k].SetReal(args[k].value);
                break;
        }
    }
    const tScriptValue result = machine_->Run(index, args_);
    const tScriptFunction& fn = code_->functions[static_cast<std::size_t>(index)];
    std::int64_t value = 0;
    try {
        value = result.ToInteger();
    } catch (const tScriptFault& fault) {
        throw tError(scriptErrorText(code_->unitName, fn.name, fn.pos,
                                     std::string("result: ") + fault.what()));
    }
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        throw tError(
            scriptErrorText(code_->unitName, fn.name, fn.pos,
                            "result " + std::to_string(value) + " does not fit a 32-bit integer"));
    }
    return static_cast<int>(value);
}

std::unique_ptr<iScriptProgram> makeScriptProgram() {
    return std::make_unique<tScriptProgram>();
}

}  // namespace vantrel
