#pragma once

#include <string>

namespace vantrel {

class tChartModel;
struct tJournalRun;

// Puts a journaled run into the charts as the run left them: its readings
// (relative ones as the run had them), its scenario transitions and its
// marks, in analysis mode, ready to be inspected, marked and exported.
// (journal/RunFile.h reads a run without charts, for its files alone.)
void loadRunIntoCharts(const tJournalRun& run, tChartModel& charts);

// A journal (".journal") as above, or an export of this program, whose
// columns become the curves shown (the others hidden), whose times stay as
// written and whose mark column, if any, marks its records. tError naming
// the file when it is neither or holds no reading.
void loadRunFileIntoCharts(const std::string& fileName, tChartModel& charts);

}  // namespace vantrel
