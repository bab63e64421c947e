#include "journal/RunCharts.h"

#include <algorithm>

#include "charts/ChartModel.h"
#include "journal/Journal.h"

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
}

}  // namespace vantrel
