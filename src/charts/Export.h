#pragma once

#include <string>

namespace vantrel {

class tChartModel;

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
