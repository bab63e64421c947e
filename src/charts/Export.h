#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vantrel {

class tChartModel;

// What an export takes from the charts: the visible quantities in index
// order, the time origin the times count from, the stretch between the
// time origin and the inspected point, and the marked records (both in
// ascending order).
struct tExportTable {
    std::vector<int> quantities;
    double origin = 0;  // seconds
    std::vector<std::size_t> stretch;
    std::vector<std::size_t> marked;
    // What the text export writes: the marked records when any is marked.
    const std::vector<std::size_t>& Records() const { return marked.empty() ? stretch : marked; }
};
tExportTable exportTable(const tChartModel& model);

// The export file's lines (UTF-8, CR LF after each): the marked points of
// the run when any are marked, else the points from the time origin to the
// inspected point; times measured from the time origin.
std::string ExportText(const tChartModel& model);

// The bytes written: Windows-1251 when every character has a form there,
// else UTF-8 with a byte-order mark, so no letter of a name is lost.
std::string EncodeExportText(const std::string& utf8Text);

// Writes the export file through a temporary file beside it; the old file
// stays as it was when anything fails. tError on failure.
void ExportReadings(const tChartModel& model, const std::string& fileName);

}  // namespace vantrel
