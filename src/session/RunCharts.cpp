#include "session/RunCharts.h"

#include <algorithm>
#include <vector>

#include "base/Error.h"
#include "charts/ChartModel.h"
#include "journal/Journal.h"
#include "journal/RunFile.h"
#include "run/ExportReader.h"

namespace vantrel {

void loadRunIntoCharts(const tJournalRun& run, tChartModel& charts) {
    charts.Rebuild([&] {
        for (int i = 0; i < kQuantityCount; ++i) {
            charts.SetRelative(i, run.header.relative[i]);
        }
        charts.EnterLiveMode();
        float newest = -1;
        for (const tJournalReading& reading : run.readings) {
            charts.AddReadingSet(reading.time, reading.readings);
            newest = std::max(newest, reading.time);
        }
        charts.EndBatch(newest);
        for (const tJournalTransition& transition : run.transitions) {
            if (transition.intervention) {
                charts.AddIntervention(transition.time, transition.name);
            } else {
                charts.AddTransition(transition.time, transition.name);
            }
        }
        charts.EnterAnalysisMode();
        const tRunData& data = charts.Data();
        if (data.Count() > 1) {
            // The whole run in view, as after a look at all of it.
            charts.SetTimeAxisRange(data.Time(0), data.Time(data.Count() - 1));
        }
        for (int index : run.marks) {
            charts.ToggleMark(static_cast<std::size_t>(index));
        }
    });
    charts.SetRunInfo({run.header.started, run.header.experiment, run.header.scenario});
}

void loadRunFileIntoCharts(const std::string& fileName, tChartModel& charts) {
    if (isJournalFile(fileName)) {
        loadRunIntoCharts(readJournal(fileName), charts);
        return;
    }
    const tExportedRun run = readExportFile(fileName);
    if (run.rows.empty()) {
        throw tError(fileName + ": the file holds no readings");
    }
    charts.Rebuild([&] {
        for (int i = 0; i < kQuantityCount; ++i) {
            charts.SetRelative(i, false);
        }
        charts.EnterLiveMode();
        for (const tExportRow& row : run.rows) {
            charts.AddReadingSet(static_cast<float>(row.time), row.readings);
        }
        charts.EndBatch(static_cast<float>(run.rows.back().time));
        charts.EnterAnalysisMode();
        const tRunData& data = charts.Data();
        if (data.Count() > 1) {
            charts.SetTimeAxisRange(data.Time(0), data.Time(data.Count() - 1));
        }
        for (std::size_t p : markedRecords(run)) {
            charts.ToggleMark(p);
        }
    });
    // Show what the file holds: tick its columns first, so the check list
    // never refuses to untick the last of the others.
    for (int i : run.quantities) {
        charts.SetCurveChecked(i, true);
    }
    for (int i = 0; i < kQuantityCount; ++i) {
        if (std::find(run.quantities.begin(), run.quantities.end(), i) == run.quantities.end()) {
            charts.SetCurveChecked(i, false);
        }
    }
}

}  // namespace vantrel
