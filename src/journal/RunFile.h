#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vantrel {

class tRunData;
class tSelection;
struct tExportedRun;
struct tJournalRun;

// A run read back from its file into what the program holds of a run: its
// records and title facts (tRunData) and what was chosen on it (tSelection,
// nothing inspected), as the charts would show it after loading it, without
// the charts.

// A journaled run: its readings (relative ones as the run had them), its
// scenario transitions, its title facts and its marks. The visible
// quantities stay as they are.
void loadJournalRun(const tJournalRun& journal, tRunData& run, tSelection& selection);

// An export of this program: its readings (none relative, times as written)
// and the marks of its mark column, if any. Its columns become the visible
// quantities, the others hidden (the last one shown stays when it has none).
void loadExportedRun(const tExportedRun& exported, tRunData& run, tSelection& selection);

// The records the mark column of `exported` marks, as indices of the run it
// reads back as (in time order, a late one after those of its time).
std::vector<std::size_t> markedRecords(const tExportedRun& exported);

// A journal (".journal") or an export, as above. tError naming the file when
// it is neither or is an export without a reading.
void loadRunFile(const std::string& fileName, tRunData& run, tSelection& selection);

}  // namespace vantrel
