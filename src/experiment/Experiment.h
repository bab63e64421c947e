#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "experiment/State.h"
#include "script/ScriptProgramInterface.h"

namespace vantrel {

enum tExperimentStatus : std::uint8_t {
    esEmpty = 0,   // nothing loaded
    esLoaded = 1,  // loaded and compiled, not running
    esRunning = 2,
    esFinished = 3,  // a final state was reached
};

// What a scenario file describes, ready to run.
struct tScenarioModel {
    std::string name;
    int startState = -1;
    std::set<int> finalStates;
    std::vector<std::unique_ptr<tState>> states;  // numbered 0.. in list order
};

// The scenario and its state machine: one object for the life of the main
// window, reloaded and closed in place.
class tExperiment {
public:
    // Largest count of values one step may hand to the script: the state
    // number, the values and two empty places fill a 128-place list.
    static constexpr int kMaxUpdateCount = 125;

    using tProgramFactory = std::function<std::unique_ptr<iScriptProgram>()>;

    // `factory` makes the script interpreter's program (the program's own
    // interpreter unless a test gives another).
    explicit tExperiment(tProgramFactory factory = makeScriptProgram);
    tExperiment(const tExperiment&) = delete;
    tExperiment& operator=(const tExperiment&) = delete;
    ~tExperiment();

    // Reads the scenario file `path` (.exp, INI) and the script beside it
    // (.tra), replacing whatever was loaded; the old scenario is gone even
    // when this fails. tError with the message of the first fault (naming
    // the key and the text read when a value is wrong); a script that does
    // not compile is logged and sets Failed as well. The script is found
    // whatever the letter case of its extension.
    void Load(const std::string& path);

    // Replaces the scenario by `model`, run by `program` (which gets
    // `source` and is compiled here). A failed compile is logged, sets
    // Failed and is raised again; the status then stays esEmpty.
    void Load(tScenarioModel model, std::unique_ptr<iScriptProgram> program, std::string source);

    // Empties the experiment and clears Failed; the program is kept.
    void Close();

    // esLoaded: enter the start state and run. Returns the current state.
    tState* Start();
    // With a current state: leave it and go back to esLoaded.
    void Stop();
    // One step with the newest values (readings then rates). True when the
    // current state changed. Failures are logged, set Failed and raised.
    bool Update(std::span<const float> values);

    tState* GetCurrentState() const { return currentState_; }
    const std::string& GetName() const { return name_; }
    tExperimentStatus GetStatus() const { return status_; }
    bool Failed() const { return failed_; }
    int StartState() const { return startState_; }
    const std::set<int>& FinalStates() const { return finalStates_; }
    const std::vector<std::unique_ptr<tState>>& States() const { return states_; }
    tState* FindState(int number) const;
    // What the last Load read as absent though the file wrote something
    // there (a count that is not a number): the load goes on without those
    // states or actions, which a teacher checking the file wants to know.
    const std::vector<std::string>& Warnings() const { return warnings_; }

private:
    [[noreturn]] void fail(const std::string& message);
    void compile();

    tProgramFactory factory_;
    std::unique_ptr<iScriptProgram> program_;
    std::string name_;
    tExperimentStatus status_ = esEmpty;
    int startState_ = -1;
    std::set<int> finalStates_;
    tState* currentState_ = nullptr;
    std::vector<std::unique_ptr<tState>> states_;
    std::vector<std::string> warnings_;
    bool failed_ = false;
};

}  // namespace vantrel
