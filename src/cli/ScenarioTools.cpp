#include "cli/ScenarioTools.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <vector>

#include "base/Functions.h"
#include "base/Paths.h"
#include "charts/Equivalence.h"
#include "charts/Export.h"
#include "cli/ConsoleView.h"
#include "experiment/Experiment.h"
#include "journal/RunFile.h"
#include "run/ExportReader.h"
#include "run/Quantities.h"
#include "run/RunData.h"
#include "run/Selection.h"
#include "session/Analysis.h"
#include "session/NoWindow.h"
#include "session/RunSummary.h"
#include "session/Workbook.h"
#include "station/ScenarioStepper.h"

namespace vantrel {

namespace {

constexpr const char* kPrefix = "vantrel-cli: ";
constexpr int kExitDone = 0;
constexpr int kExitUsage = 1;
constexpr int kExitScenario = 3;
constexpr int kExitWorkbookFailed = 5;  // the export's status too

std::string joined(const std::vector<std::string>& actions) {
    return joinTexts(actions, " | ");
}

bool load(tExperiment& experiment, const std::string& file, std::ostream& messages) {
    try {
        experiment.Load(file);
        for (const std::string& warning : experiment.Warnings()) {
            messages << kPrefix << "warning: " << warning << '\n';
        }
        return true;
    } catch (const std::exception& e) {
        messages << kPrefix << file << ": " << e.what() << '\n';
        return false;
    }
}

// The transitions of the scenario over the run, as replayScenario tells:
// each with what it would have sent, then what the safety rules refused.
int replayRun(tExperiment& experiment, const tSafetyLimits& limits, const tExportedRun& run,
              std::ostream& out, std::ostream& messages) {
    tScenarioReplay replay(experiment, limits);
    replay.Start();  // rules that have seen no reading refuse nothing
    for (const tExportRow& row : run.rows) {
        try {
            if (const std::optional<tStepTrace> trace = replay.Step(row.time, row.readings)) {
                std::vector<std::string> sent;
                for (const tCommand& command : trace->sent) {
                    sent.push_back(command.Text());
                }
                out << row.timeText << '\t' << trace->from.number << '\t' << trace->to.number
                    << '\t' << joined(sent) << '\n';
                for (const tRefusedCommand& refused : trace->refused) {
                    out << row.timeText << '\t' << refused.why.log << '\t' << refused.why.text
                        << '\n';
                }
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

std::string equivalenceLine(std::span<const double> volume, std::span<const double> pH) {
    const std::optional<tEquivalencePoint> point = findEquivalencePoint(volume, pH);
    if (!point) {
        return "equivalence\tnone";
    }
    return "equivalence\tV=" + formatFixed(point->volume, 3, '.') +
           "\tpH=" + formatFixed(point->pH, 3, '.');
}

namespace {

// The equivalence line of an exported run; a file without the columns
// needed reads them as 0, which never jumps: said on `messages`.
void printEquivalence(const tExportedRun& run, int quantity, std::ostream& out,
                      std::ostream& messages) {
    for (int needed : {quantity, static_cast<int>(qLP)}) {
        if (std::find(run.quantities.begin(), run.quantities.end(), needed) ==
            run.quantities.end()) {
            messages << kPrefix << "--equivalence: the run has no column '"
                     << quantityNames[static_cast<std::size_t>(needed)] << "'\n";
        }
    }
    std::vector<double> volume;
    std::vector<double> pH;
    volume.reserve(run.rows.size());
    pH.reserve(run.rows.size());
    for (const tExportRow& row : run.rows) {
        volume.push_back(row.readings[static_cast<std::size_t>(quantity)]);
        pH.push_back(row.readings[qLP]);
    }
    out << equivalenceLine(volume, pH) << '\n';
}

}  // namespace

bool writeRunWorkbook(const tRunData& run, const tSelection& selection, tAnalysis& analysis,
                      const std::string& fileName, int equivalence,
                      const std::vector<tStretchRequest>& analyses, double from, double to,
                      std::ostream& messages) {
    try {
        analysis.Apply(analyses, equivalence, from, to);
        tSelection wholeRun = selection;
        wholeRun.InspectEnd(run);
        writeWorkbook(fileName, run, runSummary(run, wholeRun, analysis));
    } catch (const std::exception& e) {
        messages << kPrefix << "workbook failed: " << e.what() << '\n' << std::flush;
        return false;
    }
    messages << kPrefix << "workbook written to " << fileName << '\n' << std::flush;
    return true;
}

namespace {

// The charts of a run read back from its file, which nobody sees: a run
// for analysis, a dependence chart that only keeps its abscissa.
class tUnseenCharts final : public iAnalysisCharts {
public:
    tChartMode Mode() const override { return tChartMode::Analysis; }
    int Abscissa() const override { return abscissa_; }
    void SetAbscissa(int a) override { abscissa_ = a; }

private:
    int abscissa_ = qLT;
};

// A run read back from a file, with an analysis of its own and nobody to ask.
struct tFileRun {
    explicit tFileRun(std::ostream& messages)
        : view(messages), analysis(run, selection, charts, view, dialogs) {}
    tRunData run;
    tSelection selection;
    tUnseenCharts charts;
    tConsoleView view;
    tNoWindow dialogs;
    tAnalysis analysis;
};

}  // namespace

int writeFileRunWorkbook(const std::string& runFile, const tRunInfo* info,
                         const std::string& workbookFile, int equivalence,
                         const std::vector<tStretchRequest>& analyses, double from, double to,
                         std::ostream& messages) {
    tFileRun file(messages);
    try {
        loadRunFile(runFile, file.run, file.selection);
    } catch (const std::exception& e) {
        messages << kPrefix << e.what() << '\n';
        return kExitUsage;
    }
    if (info != nullptr) {
        file.run.SetInfo(*info);
    }
    return writeRunWorkbook(file.run, file.selection, file.analysis, workbookFile, equivalence,
                            analyses, from, to, messages)
               ? kExitDone
               : kExitWorkbookFailed;
}

int writeFileRunExport(const std::string& runFile, const std::string& exportFile,
                       std::ostream& messages) {
    tRunData run;
    tSelection selection;
    try {
        loadRunFile(runFile, run, selection);
    } catch (const std::exception& e) {
        messages << kPrefix << e.what() << '\n';
        return kExitUsage;
    }
    try {
        const std::size_t records = ExportRun(run, selection, exportFile);
        messages << kPrefix << "exported " << records << " readings to " << exportFile << '\n';
    } catch (const std::exception& e) {
        messages << kPrefix << "export failed: " << e.what() << '\n';
        return kExitWorkbookFailed;
    }
    return kExitDone;
}

int replayScenario(const std::string& scenarioFile, const std::string& runFile, std::ostream& out,
                   std::ostream& messages, int equivalence,
                   const std::vector<tStretchRequest>& analyses, double from, double to,
                   const std::string& workbookFile, const tSafetyLimits& limits) {
    tExperiment experiment;
    if (!scenarioFile.empty() && !load(experiment, scenarioFile, messages)) {
        return kExitScenario;
    }
    tExportedRun run;
    try {
        run = readExportFile(runFile);
    } catch (const std::exception& e) {
        messages << kPrefix << e.what() << '\n';
        return kExitUsage;
    }
    const int status =
        scenarioFile.empty() ? kExitDone : replayRun(experiment, limits, run, out, messages);
    if (equivalence >= qV1 && equivalence <= qV3) {
        printEquivalence(run, equivalence, out, messages);
    }
    for (const std::string& line : stretchLines(tRunColumns::Of(run), analyses, from, to)) {
        out << line << '\n';
    }
    if (!workbookFile.empty()) {
        tRunInfo info;
        if (!scenarioFile.empty()) {
            info.experiment = experiment.GetName();
            info.scenario = utf8FromPath(pathFromUtf8(scenarioFile).filename());
        }
        const int written = writeFileRunWorkbook(runFile, &info, workbookFile, equivalence,
                                                 analyses, from, to, messages);
        if (written != kExitDone && status == kExitDone) {
            return written;
        }
    }
    return status;
}

}  // namespace vantrel
