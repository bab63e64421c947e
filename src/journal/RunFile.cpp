#include "journal/RunFile.h"

#include <algorithm>
#include <array>
#include <numeric>

#include "base/Error.h"
#include "journal/Journal.h"
#include "run/ExportReader.h"
#include "run/RunData.h"
#include "run/Selection.h"

namespace vantrel {

void loadJournalRun(const tJournalRun& journal, tRunData& run, tSelection& selection) {
    run.Start(journal.header.relative);
    selection.NewRun();
    for (const tJournalReading& reading : journal.readings) {
        run.Add(reading.time, reading.readings);
    }
    for (const tJournalTransition& transition : journal.transitions) {
        run.AddTransition(transition.time, transition.name, transition.intervention);
    }
    for (int index : journal.marks) {
        selection.ToggleMark(static_cast<std::size_t>(index), run);
    }
    run.SetInfo({journal.header.started, journal.header.experiment, journal.header.scenario});
}

std::vector<std::size_t> markedRecords(const tExportedRun& exported) {
    std::vector<std::size_t> marked;
    if (!exported.markColumn) {
        return marked;
    }
    // The run keeps its records in time order, a late one after those of
    // its time: the rows in that order are its indices.
    const std::vector<tExportRow>& rows = exported.rows;
    std::vector<std::size_t> order(rows.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return static_cast<float>(rows[a].time) < static_cast<float>(rows[b].time);
    });
    for (std::size_t p = 0; p < order.size(); ++p) {
        if (rows[order[p]].marked) {
            marked.push_back(p);
        }
    }
    return marked;
}

void loadExportedRun(const tExportedRun& exported, tRunData& run, tSelection& selection) {
    run.Start({});
    selection.NewRun();
    for (const tExportRow& row : exported.rows) {
        run.Add(static_cast<float>(row.time), row.readings);
    }
    for (std::size_t p : markedRecords(exported)) {
        selection.ToggleMark(p, run);
    }
    // Its columns shown first, so that the others can all be hidden.
    const std::vector<int>& columns = exported.quantities;
    for (int i : columns) {
        selection.SetVisible(i, true);
    }
    for (int i = 0; i < kQuantityCount; ++i) {
        if (std::find(columns.begin(), columns.end(), i) == columns.end()) {
            selection.SetVisible(i, false);
        }
    }
}

void loadRunFile(const std::string& fileName, tRunData& run, tSelection& selection) {
    if (isJournalFile(fileName)) {
        loadJournalRun(readJournal(fileName), run, selection);
        return;
    }
    const tExportedRun exported = readExportFile(fileName);
    if (exported.rows.empty()) {
        throw tError(fileName + ": the file holds no readings");
    }
    loadExportedRun(exported, run, selection);
}

}  // namespace vantrel
