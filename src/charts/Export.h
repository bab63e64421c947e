#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vantrel {

class tRunData;
class tSelection;

// What an export takes from the run's selection: the visible quantities in
// index order, the time origin the times count from, the stretch between
// the time origin and the inspected point, and the marked records (both in
// ascending order).
struct tExportTable {
    std::vector<int> quantities;
    double origin = 0;  // seconds
    std::vector<std::size_t> stretch;
    std::vector<std::size_t> marked;
    // What the text export writes: the marked records when any is marked.
    const std::vector<std::size_t>& Records() const { return marked.empty() ? stretch : marked; }
};
tExportTable exportTable(const tRunData& run, const tSelection& selection);

// The export file's lines (UTF-8, CR LF after each): the marked points of
// the run when any are marked, else the points from the time origin to the
// inspected point; times measured from the time origin.
std::string ExportText(const tRunData& run, const tSelection& selection);

// The recorder's export: every record of the run, whatever is marked or
// inspected, in the same columns and formats; when any record is marked, a
// last column headed as the workbook's mark column holds "*" on those.
std::string RunExportText(const tRunData& run, const tSelection& selection);

// Whether the exports are Windows-1251: when every text of the current
// language an export can hold (the seven quantity names, the mark column's
// title) has a form there. Else UTF-8 with a byte-order mark, so no letter
// of a name is lost. Decided by the language, not by the columns a file
// shows: a class gets one encoding from one language.
bool exportsInWindows1251();

// The bytes written, in the encoding above.
std::string EncodeExportText(const std::string& utf8Text);

// What the window's export wrote: the marked records, or the records of the
// range.
struct tExportWritten {
    bool marked = false;
    std::size_t records = 0;
};

// Write the export file through a temporary file beside it; the old file
// stays as it was when anything fails. tError on failure.
tExportWritten ExportReadings(const tRunData& run, const tSelection& selection,
                              const std::string& fileName);
// The recorder's export; returns how many records it holds.
std::size_t ExportRun(const tRunData& run, const tSelection& selection,
                      const std::string& fileName);

}  // namespace vantrel
