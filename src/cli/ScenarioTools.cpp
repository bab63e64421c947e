#include "cli/ScenarioTools.h"

#include <exception>

#include "base/Functions.h"
#include "charts/ChartModel.h"
#include "charts/ExportReader.h"
#include "experiment/Experiment.h"

namespace vantrel {

namespace {

constexpr const char* kPrefix = "vantrel-cli: ";
constexpr int kExitDone = 0;
constexpr int kExitUsage = 1;
constexpr int kExitScenario = 3;

std::string joined(const std::vector<std::string>& actions) {
    return joinTexts(actions, " | ");
}

bool load(tExperiment& experiment, const std::string& file, std::ostream& messages) {
    try {
        experiment.Load(file);
        return true;
    } catch (const std::exception& e) {
        messages << kPrefix << file << ": " << e.what() << '\n';
        return false;
    }
}

}  // namespace

int checkScenario(const std::string& scenarioFile, std::ostream& out, std::ostream& messages) {
    tExperiment experiment;
    if (!load(experiment, scenarioFile, messages)) {
        return kExitScenario;
    }
    out << "experiment\t" << experiment.GetName() << '\n';
    out << "start\t" << experiment.StartState() << '\n';
    std::vector<std::string> finals;
    for (int state : experiment.FinalStates()) {
        finals.push_back(std::to_string(state));
    }
    out << "final\t" << joinTexts(finals, ",") << '\n';
    for (const auto& state : experiment.States()) {
        out << "state\t" << state->Number() << '\t' << state->Name() << '\t'
            << joined(state->Actions()) << '\n';
    }
    if (experiment.FindState(experiment.StartState()) == nullptr) {
        messages << kPrefix << "warning: no state is numbered " << experiment.StartState()
                 << ", the start state; a run would fail at its first reading\n";
    }
    return kExitDone;
}

int replayScenario(const std::string& scenarioFile, const std::string& runFile, std::ostream& out,
                   std::ostream& messages) {
    tExperiment experiment;
    if (!load(experiment, scenarioFile, messages)) {
        return kExitScenario;
    }
    tExportedRun run;
    try {
        run = readExportFile(runFile);
    } catch (const std::exception& e) {
        messages << kPrefix << e.what() << '\n';
        return kExitUsage;
    }
    // The charts' own rule gives the rates, over the replayed points.
    tChartModel charts;
    charts.EnterLiveMode();
    experiment.Start();
    for (const tExportRow& row : run.rows) {
        const tExperimentValues values =
            charts.AddReadingSet(static_cast<float>(row.time), row.readings);
        const tState* before = experiment.GetCurrentState();
        try {
            if (experiment.Update(values)) {
                const tState* now = experiment.GetCurrentState();
                out << row.timeText << '\t' << (before ? before->Number() : -1) << '\t'
                    << now->Number() << '\t' << joined(now->Actions()) << '\n';
            }
        } catch (const std::exception& e) {
            messages << kPrefix << "at " << row.timeText << ": " << e.what() << '\n';
            return kExitScenario;
        }
        if (experiment.GetStatus() == esFinished) {
            out << "finished\t" << row.timeText << '\n';
            return kExitDone;
        }
    }
    return kExitDone;
}

}  // namespace vantrel
