#include "experiment/Experiment.h"

#include <array>
#include <cerrno>
#include <exception>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Encoding.h"
#include "base/Error.h"
#include "base/Files.h"
#include "base/Functions.h"
#include "base/IniFile.h"
#include "base/LogFile.h"

namespace vantrel {

namespace {

// Far more commands than one state sends to the station's five actuators.
constexpr int kMaxActionCount = 100;

using tKeys = std::vector<std::pair<std::string, std::string>>;

// The value of `name` in a section's keys; null when the key is absent.
const std::string* findValue(const tKeys& keys, std::string_view name) {
    for (const auto& [key, value] : keys) {
        if (equalsIgnoreCase(key, name)) {
            return &value;
        }
    }
    return nullptr;
}

std::string valueOf(const tKeys& keys, std::string_view name) {
    const std::string* value = findValue(keys, name);
    return value != nullptr ? *value : std::string();
}

// A key and its text as the file wrote them, for messages: the teacher
// sees what the loader read, not only that it was wrong.
std::string shown(std::string_view key, std::string_view text) {
    return std::string(key) + "=\"" + std::string(text) + "\"";
}

// The INI rules keep a ";" after a value as part of the value; a comment
// written there is the likely reason a number does not read.
std::string commentHint(std::string_view text) {
    return text.find(';') != std::string_view::npos ? " (a comment must stand on a line of its own)"
                                                    : "";
}

std::string notANumber(std::string_view key, std::string_view text) {
    return shown(key, text) + " is not a number" + commentHint(text);
}

// A count that is present but does not read counts as absent; `warnings`
// gets why, since nothing fails and the states or actions are just missing.
int countOf(const tKeys& keys, std::string_view key, const std::string& where,
            const std::string& consequence, std::vector<std::string>& warnings) {
    const std::string* text = findValue(keys, key);
    int count = -1;
    if (text != nullptr && !tryParseInt(*text, count)) {
        count = -1;
        if (!text->empty()) {
            warnings.push_back(where + notANumber(key, *text) + ": " + consequence);
        }
    }
    return count;
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
    const std::string* start = findValue(general, "StartState");
    if (start == nullptr) {
        throw tError("Invalid start state: no StartState in [General]");
    }
    if (!tryParseInt(*start, startState_)) {
        startState_ = -1;
        throw tError("Invalid start state: " + notANumber("StartState", *start));
    }
    if (startState_ == -1) {
        throw tError("Invalid start state: " + shown("StartState", *start) + " names no state");
    }
    // Tokens are not trimmed: "3, 4" is {3, 4}, "3 ,4" and "3,,4" are not.
    const std::string finalText = valueOf(general, "FinalState");
    std::string finals = finalText;
    while (!finals.empty()) {
        const std::string token = takeField(finals, ',', true);
        int number = -1;
        const bool parsed = tryParseInt(token, number);
        if (!parsed || number == -1) {
            const std::string where = token == finalText ? "" : "\"" + token + "\" in ";
            throw tError("Invalid final state: " + where + shown("FinalState", finalText) +
                         (parsed ? " names no state" : " is not a number") +
                         commentHint(finalText));
        }
        finalStates_.insert(number);
    }
    if (finalStates_.empty()) {
        throw tError("Final states can not be empty");
    }
    const int stateCount = countOf(general, "StateCount", "", "no states are read", warnings_);
    for (int i = 0; i < stateCount; ++i) {
        auto state = std::make_unique<tState>(i, "<DUMMY>", std::vector<std::string>{});
        const std::string section = "State" + std::to_string(i);
        const auto keys = ini.ReadSection(section);
        state->SetName(valueOf(keys, "Name"));
        if (state->Name().empty()) {
            throw tError("Name of state #" + std::to_string(i) + " can not be empty");
        }
        // Every action up to the count is sent, missing ones as empty lines:
        // a mistyped count must not make a state of millions.
        const int actionCount = countOf(keys, "ActionCount", "[" + section + "] ",
                                        "the state sends nothing", warnings_);
        if (actionCount > kMaxActionCount) {
            throw tError("Invalid action count of state #" + std::to_string(i) + ": " +
                         shown("ActionCount", valueOf(keys, "ActionCount")) + " is more than " +
                         std::to_string(kMaxActionCount));
        }
        for (int n = 0; n < actionCount; ++n) {
            const std::string key = "Action" + std::to_string(n);
            const std::string text = valueOf(keys, key);
            try {
                state->AddAction(text);
            } catch (const std::exception& e) {
                throw tError("Invalid action of state #" + std::to_string(i) + " \"" +
                             state->Name() + "\": [" + section + "] " + shown(key, text) + ": " +
                             e.what());
            }
        }
        states_.push_back(std::move(state));
    }

    const std::string scriptPath = companionFile(path, ".tra");
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
        throw tLoggedError(e.what());
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
    warnings_.clear();
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
        throw tLoggedError(e.what());
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
    throw tLoggedError(message);
}

}  // namespace vantrel
