#pragma once

namespace vantrel {

class tChartModel;
struct tJournalRun;

// Puts a journaled run into the charts as the run left them: its readings
// (relative ones as the run had them), its scenario transitions and its
// marks, in analysis mode, ready to be inspected, marked and exported.
void loadRunIntoCharts(const tJournalRun& run, tChartModel& charts);

}  // namespace vantrel
