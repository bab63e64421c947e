#include "experiment/Experiment.h"

#include <array>
#include <cerrno>
#include <exception>
#include <filesystem>
#include <utility>

#include "base/Encoding.h"
#include "base/Error.h"
#include "base/Files.h"
#include "base/Functions.h"
#include "base/IniFile.h"
#include "base/LogFile.h"
#include "base/Paths.h"

namespace vantrel {

namespace {

// Far more commands than one state sends to the station's five actuators.
constexpr int kMaxActionCount = 100;

// An integer as scenario files write it (sign, digits, "$" or "0x" hex,
// leading blanks); -1 when absent or anything else.
int integerOr(const std::string& text, int fallback) {
    int value = fallback;
    return tryParseInt(text, value) ? value : fallback;
}

std::string valueOf(const std::vector<std::pair<std::string, std::string>>& keys,
                    std::string_view name) {
    for (const auto& [key, value] : keys) {
        if (equalsIgnoreCase(key, name)) {
            return value;
        }
    }
    return {};
}

}  // namespace

tExperiment::tExperiment(tProgramFactory factory)
    : factory_(std::move(factory)), program_(factory_ ? factory_() : nullptr) {
    if (!factory_ || program_ == nullptr) {
        throw tError("Out of memory");
    }
}

void tExperiment::Load(const std::string& path) {
    Close();
    const tIniFile ini(path);  // a missing file reads as empty
    const auto general = ini.ReadSection("General");

    name_ = valueOf(general, "Name");
    if (name_.empty()) {
        throw tError("Invalid experiment name");
    }
    startState_ = integerOr(valueOf(general, "StartState"), -1);
    if (startState_ == -1) {
        throw tError("Invalid start state");
    }
    // Tokens are not trimmed: "3, 4" is {3, 4}, "3 ,4" and "3,,4" are not.
    std::string finals = valueOf(general, "FinalState");
    while (!finals.empty()) {
        const int number = integerOr(takeField(finals, ',', true), -1);
        if (number == -1) {
            throw tError("Invalid final state");
        }
        finalStates_.insert(number);
    }
    if (finalStates_.empty()) {
        throw tError("Final states can not be empty");
    }
    const int stateCount = integerOr(valueOf(general, "StateCount"), -1);
    for (int i = 0; i < stateCount; ++i) {
        auto state = std::make_unique<tState>(i, "<DUMMY>", std::vector<std::string>{});
        const auto keys = ini.ReadSection("State" + std::to_string(i));
        state->SetName(valueOf(keys, "Name"));
        if (state->Name().empty()) {
            throw tError("Name of state #" + std::to_string(i) + " can not be empty");
        }
        // Every action up to the count is sent, missing ones as empty lines:
        // a mistyped count must not make a state of millions.
        const int actionCount = integerOr(valueOf(keys, "ActionCount"), -1);
        if (actionCount > kMaxActionCount) {
            throw tError("Invalid action count of state #" + std::to_string(i));
        }
        for (int n = 0; n < actionCount; ++n) {
            state->AddAction(valueOf(keys, "Action" + std::to_string(n)));
        }
        states_.push_back(std::move(state));
    }

    const std::string scriptPath = utf8FromPath(pathFromUtf8(path).replace_extension(".tra"));
    std::string bytes;
    if (!readFileIfExists(scriptPath, bytes)) {
        throw EFOpenError(fileOpenErrorText(scriptPath, systemErrorText(ENOENT)));
    }
    std::string source;
    decodeWindowsText(bytes, source);
    program_->SetSource(std::move(source));
    compile();
}

void tExperiment::compile() {
    try {
        program_->Compile();
    } catch (const std::exception& e) {
        logFile->WriteLine(e.what());
        failed_ = true;
        throw;
    }
    status_ = esLoaded;
}

tExperiment::~tExperiment() {
    currentState_ = nullptr;
    startState_ = -1;
    status_ = esEmpty;
}

void tExperiment::Load(tScenarioModel model, std::unique_ptr<iScriptProgram> program,
                       std::string source) {
    Close();
    name_ = std::move(model.name);
    startState_ = model.startState;
    finalStates_ = std::move(model.finalStates);
    states_ = std::move(model.states);
    if (program == nullptr) {
        throw tError("No script interpreter for the scenario");
    }
    program_ = std::move(program);
    program_->SetSource(std::move(source));
    compile();
}

void tExperiment::Close() {
    name_.clear();
    status_ = esEmpty;
    startState_ = -1;
    finalStates_.clear();
    currentState_ = nullptr;
    states_.clear();
    failed_ = false;
}

tState* tExperiment::Start() {
    if (status_ == esLoaded) {
        currentState_ = FindState(startState_);
        status_ = esRunning;
    }
    return currentState_;
}

void tExperiment::Stop() {
    if (currentState_ != nullptr) {
        currentState_ = nullptr;
        status_ = esLoaded;
    }
}

bool tExperiment::Update(std::span<const float> values) {
    if (failed_) {
        return false;
    }
    if (currentState_ == nullptr || program_ == nullptr) {
        fail("Can not update state machine");
    }
    const int current = currentState_->Number();
    if (finalStates_.count(current) != 0) {
        status_ = esFinished;
        return false;
    }
    if (values.size() > static_cast<std::size_t>(kMaxUpdateCount)) {
        fail("Too many arguments");
    }
    // The state number, the values, and two empty places at the end.
    std::array<tScriptArg, kMaxUpdateCount + 3> args;
    args[0] = tScriptArg::Integer(current);
    for (std::size_t i = 0; i < values.size(); ++i) {
        args[i + 1] = tScriptArg::Real(values[i]);
    }
    int next = 0;
    try {
        next = program_->Call("NewState", std::span(args.data(), values.size() + 3));
    } catch (const std::exception& e) {
        logFile->WriteLine(e.what());
        failed_ = true;
        throw;
    }
    if (next == current) {
        return false;
    }
    currentState_ = FindState(next);
    if (currentState_ == nullptr) {
        fail("Error while transition from state #" + std::to_string(current) + " to state #" +
             std::to_string(next) + ".");
    }
    return true;
}

tState* tExperiment::FindState(int number) const {
    for (const auto& state : states_) {
        if (state->Number() == number) {
            return state.get();
        }
    }
    return nullptr;
}

void tExperiment::fail(const std::string& message) {
    logFile->WriteLine(message);
    failed_ = true;
    throw tError(message);
}

}  // namespace vantrel
