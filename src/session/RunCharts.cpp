#include "session/RunCharts.h"

#include <algorithm>
#include <vector>

#include "base/Error.h"
#include "charts/ChartModel.h"
#include "journal/Journal.h"
#include "journal/RunFile.h"
#include "run/ExportReader.h"

namespace vantrel {

namespace {

// Hands a journal's events to the charts as a live run does, the whole run
// one batch. Marks wait for the run to be in place; a run whose journal has
// no end is ended here, as it was when it died.
class tJournalLoad : public iRunListener {
public:
    explicit tJournalLoad(tChartModel& charts) : charts_(charts) {}

    void OnEvent(const tRunEvent& event) override {
        if (const auto* set = event.As<tReadingSet>()) {
            newest_ = std::max(newest_, set->time);
            ++records_;
        } else if (const auto* mark = event.As<tRunMark>()) {
            marks_.push_back(mark->index);
            return;
        } else if (event.As<tRunEnded>() != nullptr) {
            if (ended_) {
                return;
            }
            ended_ = true;
            charts_.OnBatchEnd(newest_);
        }
        charts_.OnEvent(event);
    }

    void Finish() {
        if (!ended_) {
            OnEvent({tRunEnded{std::max(newest_, 0.0f), tRunEnd::Unknown, records_}});
        }
        const tRunData& data = charts_.Data();
        if (data.Count() > 1) {
            // The whole run in view, as after a look at all of it.
            charts_.SetTimeAxisRange(data.Time(0), data.Time(data.Count() - 1));
        }
        for (int index : marks_) {
            charts_.ToggleMark(static_cast<std::size_t>(index));
        }
    }

private:
    tChartModel& charts_;
    float newest_ = -1;
    long records_ = 0;
    bool ended_ = false;
    std::vector<int> marks_;
};

}  // namespace

void loadRunIntoCharts(const tJournalRun& run, tChartModel& charts) {
    charts.Rebuild([&] {
        tJournalLoad load(charts);
        journalEvents(run, load);
        load.Finish();
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
